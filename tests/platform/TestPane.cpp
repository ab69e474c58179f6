// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A pane library for the pane host's tests: it tells over the host's bus connection what the host did with
// it, and whether it sees the host's services.

#include "platform/panes/PreferencePane.h"
#include "platform/workspace/Workspace.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>
#include <dlfcn.h>

namespace {

class TestPane : public platform::PreferencePane {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.example.TestPane")
public:
    explicit TestPane(const platform::Bundle& bundle) : PreferencePane(bundle)
    {
        QDBusConnection::sessionBus().registerObject(QStringLiteral("/TestPane"), this,
                                                     QDBusConnection::ExportScriptableSlots);
    }
    ~TestPane() override { QDBusConnection::sessionBus().unregisterObject(QStringLiteral("/TestPane")); }

    QWidget* loadMainView() override
    {
        m_events << QStringLiteral("loadMainView");
        auto* view = new QLabel(bundle().bundleIdentifier());
        setMainView(view);
        return view;
    }
    void mainViewDidLoad() override
    {
        const bool inWindow = window() && window() != mainView();
        m_events << (inWindow ? QStringLiteral("mainViewDidLoad:inWindow")
                              : QStringLiteral("mainViewDidLoad"));
    }
    void didSelect() override
    {
        // The process's global scope holds the host's copy of the platform library; a pane that carried
        // a copy of its own would see another workspace there.
        using Shared = platform::Workspace* (*)();
        const auto hosts =
            reinterpret_cast<Shared>(::dlsym(RTLD_DEFAULT, "_ZN8platform9Workspace15sharedWorkspaceEv"));
        const bool shared = hosts && hosts() == platform::Workspace::sharedWorkspace();
        m_events << QStringLiteral("didSelect")
                 << (shared ? QStringLiteral("shared") : QStringLiteral("separate"));
    }

public slots:
    Q_SCRIPTABLE QString Report() const { return m_events.join(QLatin1Char(' ')); }
    Q_SCRIPTABLE void CloseDialog()
    {
        if (m_dialog)
            m_dialog->accept();
    }

protected:
    QStringList m_events;
    QDialog* m_dialog = nullptr;
};

// Runs a modal dialog, and with it an event loop of its own, from inside the host's call.
class ModalPane : public TestPane {
public:
    using TestPane::TestPane;
    void didSelect() override
    {
        TestPane::didSelect();
        QDialog dialog(window());
        m_dialog = &dialog;
        dialog.exec();
        m_dialog = nullptr;
        m_events << QStringLiteral("dialogClosed");
    }
};

// A main view of pages in a tab widget, as the pictures of a pane's pages expect.
class TabbedPane : public TestPane {
public:
    using TestPane::TestPane;
    QWidget* loadMainView() override
    {
        auto* tabs = new QTabWidget;
        for (const QString& title : {QStringLiteral("&First"), QStringLiteral("Second page"), QString()}) {
            auto* page = new QWidget;
            auto* layout = new QVBoxLayout(page);
            layout->addWidget(new QCheckBox(title.isEmpty() ? QStringLiteral("Untitled") : title));
            layout->addWidget(new QLineEdit(QStringLiteral("text on %1").arg(title)));
            tabs->addTab(page, title);
        }
        setMainView(tabs);
        return tabs;
    }
};

} // namespace

#ifdef TEST_PANE_OTHER_VERSION
extern "C" __attribute__((visibility("default"))) int pealixPaneInterfaceVersion()
{
    return 99;
}
extern "C" __attribute__((visibility("default"))) platform::PreferencePane*
pealixCreatePane(const char*, const platform::Bundle& b)
{
    return new TestPane(b);
}
#else
PEALIX_PANE_ENTRY_POINTS(if (name == "TestPane") return new TestPane(b);
                         if (name == "ModalPane") return new ModalPane(b);
                         if (name == "TabbedPane") return new TabbedPane(b);)
#endif

#include "TestPane.moc"
