// PealixTool: the background agent that chimes the quarter hours.

#include "agent/PealixController.h"
#include "platform/Bundle.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Without a display the agent still chimes; it just has nowhere to show its icon.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PealixTool"));
    QApplication::setQuitOnLastWindowClosed(false);

    PealixController controller(platform::Bundle::mainBundle(), QCoreApplication::arguments());
    controller.awakeFromNib();
    return QApplication::exec();
}
