#pragma once

#include <string_view>

namespace lrf {

// The program's user-visible texts by number (UTF-8). Numbers without a text
// (28, 29 and anything outside 1 to 36) give an empty text.
std::string_view LoadStr(int number);

// Numbers of the entries the code refers to by meaning.
enum StringId : int {
    strCom = 1,
    strBaudrate = 2,
    strOpenCom = 3,
    strClearData = 4,
    strRecordData = 5,
    strDisplayData = 6,
    strSaveData = 7,
    strExit = 8,
    strSingleTesting = 9,
    strContinuousTesting = 10,
    strPointToPointDistance = 11,
    strSpeedMeasurement = 12,
    strRotationMeasure = 13,
    strModel = 14,
    strLrfCode = 15,
    strPlace = 16,
    strDistination = 17,
    strContinuousTimes = 18,
    strRotationTimes = 19,
    strMainTitle = 20,
    strTimes = 21,
    strMs = 22,
    strDataShowWindow = 23,
    strSn = 24,
    strLinear = 25,
    strUnit = 26,
    strSpeed = 27,
    strDateTime = 30,
    strCloseCom = 31,
    strComOpenFailure = 32,
    strStopTesting = 33,
    strStopRecord = 34,
    strRecordLimit = 35,
    strCommunicationFailure = 36,
};

} // namespace lrf
