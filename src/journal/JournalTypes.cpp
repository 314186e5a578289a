#include "JournalTypes.h"

#include <algorithm>

namespace lrf::journal {

std::vector<SeqRange> ToRanges(std::vector<std::int64_t> seqs) {
    std::sort(seqs.begin(), seqs.end());
    seqs.erase(std::unique(seqs.begin(), seqs.end()), seqs.end());
    std::vector<SeqRange> ranges;
    for (const std::int64_t seq : seqs) {
        if (!ranges.empty() && ranges.back().last + 1 == seq)
            ranges.back().last = seq;
        else
            ranges.push_back({seq, seq});
    }
    return ranges;
}

} // namespace lrf::journal
