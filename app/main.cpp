#include "StringTable.h"

#include <QApplication>
#include <QLabel>

// Placeholder until the main window exists.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel label(QString::fromUtf8(lrf::LoadStr(lrf::strMainTitle).data()) +
                 QStringLiteral("\n\nThe main window is not built yet."));
    label.setMargin(24);
    label.show();
    return app.exec();
}
