#include "ClipStore.h"
#include "Defaults.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillstack"));
    Defaults defaults;
    Settings settings(defaults);
    ClipStore store(settings);
    QTextStream(stdout) << "Quillstack: " << store.clips().size() << " clips in "
                        << store.archiveURL() << Qt::endl;
    return 0;
}
