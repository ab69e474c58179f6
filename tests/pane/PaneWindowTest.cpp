// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The pane as it opens on the settings already stored, and the parts of its window that only the window
// reaches: the page transition, the excluded table's cell and drops, the panel icon box, and a stored
// custom sound replaced through the sheet.

#include "pane/PealixPref.h"
#include "platform/bindings/KeyValueCoding.h"
#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/settings/Preferences.h"
#include "platform/workspace/ProcessManager.h"
#include "shared/PrefKeys.h"
#include "support/NSVTextFieldCell.h"
#include "support/NSWorkspaceProcessInfo.h"
#include "support/QXLoginItemRegistry.h"
#include "testsupport/PanelWatcherStandIn.h"
#include "testsupport/PostedUpdates.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/PrivatePids.h"
#include "testsupport/RecordingSink.h"
#include "testsupport/TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMimeData>
#include <QMultiMap>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

// Turning chimes off stops every agent of the user: only those of this program may be seen.
const bool privatePids = PrivatePids::enter();
PrivateBus* const& bus = PrivateBus::forProgram();

const QString sentinel = QStringLiteral("org.example.pane-window-test.sentinel");

QList<int> agentsInThisSession()
{
    QList<int> agents;
    for (int pid : NSWorkspaceProcessInfo::pidsForProcessesWithCommand(QStringLiteral("PealixTool")))
        if (platform::processSharesRuntimeDirectory(pid))
            agents.append(pid);
    return agents;
}

class PaneWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!privatePids)
            GTEST_SKIP() << "no pid namespace of its own: the pane would stop the agents of the user";
        ASSERT_TRUE(bus && bus->isRunning());
        m_updates.start();
    }
    int posted() { return m_updates.count(); }
    void TearDown() override { qunsetenv("PEALIX_PROGRAMS_DIR"); }

    static std::unique_ptr<PealixPref> open()
    {
        auto pane = std::make_unique<PealixPref>(platform::Bundle(paneBundleDir()));
        pane->loadMainView();
        pane->mainViewDidLoad();
        // The opening's own write lands first, so that what a test counts afterwards is its own.
        EXPECT_TRUE(QTest::qWaitFor([&] { return pane->changesSaved(); }, 5000));
        return pane;
    }
    static QVariant stored(const QString& key)
    {
        platform::Preferences domain(PrefKeys::domain);
        domain.synchronize();
        return domain.copyValue(key);
    }
    // What the window has saved, once its writes have landed.
    static QVariant saved(const PealixPref& pane, const QString& key)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return pane.changesSaved(); }, 5000)) << "a save that never lands";
        return stored(key);
    }
    template <typename W> static W* control(PealixPref& pane, const QString& name)
    {
        for (W* widget : pane.mainView()->findChildren<W*>())
            if (widget->accessibleName() == name)
                return widget;
        ADD_FAILURE() << "no control " << name.toStdString();
        return nullptr;
    }
    // A program named like the agent, standing in for one left running.
    QProcess* runStandInAgent()
    {
        const QString program = m_env.root() + QStringLiteral("/stand-in/PealixTool");
        QDir().mkpath(QFileInfo(program).path());
        QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), program);
        m_standIn.start(program, {QStringLiteral("60")});
        return m_standIn.waitForStarted() ? &m_standIn : nullptr;
    }

    TestEnvironment m_env;
    PostedUpdates m_updates{sentinel};
    QProcess m_standIn;
};

} // namespace

TEST_F(PaneWindowTest, opening_with_chimes_on_registers_and_starts_the_agent)
{
    storeSettings({{PrefKeys::pealixActive, true}});
    auto pane = open();
    const QString agent = pane->bundle().pathForAuxiliaryExecutable(QStringLiteral("PealixTool.app"));
    EXPECT_TRUE(control<QCheckBox>(*pane, QStringLiteral("Chimes on"))->isChecked());
    EXPECT_EQ(QXLoginItemRegistry::indexForLoginItemWithPath(agent), 0);
    EXPECT_TRUE(QTest::qWaitFor([] { return agentsInThisSession().size() == 1; }, 10000));
    EXPECT_EQ(saved(*pane, PrefKeys::pealixActive), true);
    platform::setValueForKey(pane.get(), false, "pealixActive");
    EXPECT_TRUE(QTest::qWaitFor([] { return agentsInThisSession().isEmpty(); }, 5000));
}

TEST_F(PaneWindowTest, opening_with_chimes_on_but_the_login_item_refused_turns_them_off)
{
    // No login-item service to be had: the agent the opening launched and one left running both end, and
    // the window and the settings say off.
    storeSettings({{PrefKeys::pealixActive, true}});
    QDir().mkpath(m_env.root() + QStringLiteral("/no-programs"));
    qputenv("PEALIX_PROGRAMS_DIR", QFile::encodeName(m_env.root() + QStringLiteral("/no-programs")));
    QProcess* left = runStandInAgent();
    ASSERT_TRUE(left);
    auto pane = open();
    EXPECT_FALSE(pane->pealixActive());
    EXPECT_FALSE(control<QCheckBox>(*pane, QStringLiteral("Chimes on"))->isChecked());
    EXPECT_EQ(saved(*pane, PrefKeys::pealixActive), false);
    // It may have ended while the save was awaited.
    EXPECT_TRUE(left->state() == QProcess::NotRunning || left->waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([] { return agentsInThisSession().isEmpty(); }, 5000));
    QTest::qWait(500);
    EXPECT_TRUE(agentsInThisSession().isEmpty()) << "an agent started after the stop";
}

TEST_F(PaneWindowTest, the_window_swipes_centres_names_keeps_the_panel_icon_and_takes_drops_on_its_table)
{
    storeSettings({{PrefKeys::pealixMenuActive, true}});
    const QString entry = m_env.writeFile(QStringLiteral("data/applications/Player.desktop"),
                                          "[Desktop Entry]\nType=Application\nName=Player\nExec=/bin/true\n");
    const QString notes = m_env.writeFile(QStringLiteral("notes.txt"), "x");
    auto pane = open();
    EXPECT_EQ(pane->tabView()->transitionStyle(), 4) << "a swipe";

    QTableView* table = pane->excludedApplicationsTable();
    ASSERT_TRUE(table);
    const auto* cell = qobject_cast<NSVTextFieldCell*>(table->itemDelegateForColumn(1));
    EXPECT_TRUE(cell && cell->isVerticalAligned()) << "the name column";

    // "Show icon in the panel" shows what is stored, and a click stores the other value at once.
    QCheckBox* icon = control<QCheckBox>(*pane, QStringLiteral("Show icon in the panel"));
    ASSERT_TRUE(icon);
    EXPECT_TRUE(icon->isChecked());
    // The opening's own save first, so that its update is not counted as the click's.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->changesSaved(); }, 5000));
    // Without a tray on the desktop the check box says so, until a panel with a tray appears.
    QLabel* noPanel = control<QLabel>(*pane, QStringLiteral("No panel icons"));
    ASSERT_TRUE(noPanel);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !noPanel->isHidden(); }, 3000));
    {
        PanelWatcherStandIn panel(bus->address());
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel.isReady(); }, 3000));
        panel.hostRegistered = true;
        ASSERT_TRUE(panel.startPanel());
        EXPECT_TRUE(QTest::qWaitFor([&] { return noPanel->isHidden(); }, 3000));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !noPanel->isHidden(); }, 3000));

    const int before = posted();
    icon->click();
    EXPECT_EQ(saved(*pane, PrefKeys::pealixMenuActive), false);
    EXPECT_EQ(posted(), before + 1);
    EXPECT_TRUE(noPanel->isHidden()) << "nothing to say with the icon off";

    // A drag over the table's viewport, as the window system delivers it.
    QWidget* viewport = table->viewport();
    const auto dragOf = [](const QString& path) {
        auto data = std::make_unique<QMimeData>();
        data->setUrls({QUrl::fromLocalFile(path)});
        return data;
    };
    const auto enter = [&](const QMimeData* data) {
        QDragEnterEvent event(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &event);
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
    };
    const auto text = dragOf(notes);
    EXPECT_EQ(enter(text.get()), Qt::IgnoreAction);
    const auto application = dragOf(entry);
    EXPECT_EQ(enter(application.get()), Qt::CopyAction);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, application.get(), Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    EXPECT_TRUE(drop.isAccepted());
    const QVariantList excluded = saved(*pane, PrefKeys::excluded).toList();
    ASSERT_EQ(excluded.size(), 1);
    EXPECT_EQ(excluded[0].toMap().value(PrefKeys::bundleIdentifier), QStringLiteral("Player"));
    EXPECT_EQ(table->model()->index(0, 1).data().toString(), QStringLiteral("Player"));
}

TEST_F(PaneWindowTest, a_stored_custom_sound_is_replaced_through_the_sheet_not_kept_beside_the_new_one)
{
    const QString old = m_env.root() + QStringLiteral("/old bells.wav");
    storeSettings({{PrefKeys::chimeInfo, QVariantList{QVariantMap{{PrefKeys::minute, qint64(45)},
                                                                  {PrefKeys::chime, true},
                                                                  {PrefKeys::strike, false},
                                                                  {PrefKeys::set, PrefKeys::customSetName},
                                                                  {PrefKeys::path, old}}}}});
    const QString chosen = m_env.root() + QStringLiteral("/new bells.wav");
    ASSERT_TRUE(writeTone(chosen, 660, 0.2, 0.3));
    auto pane = open();
    const QVariantList standard = pane->standardChimesets();
    ASSERT_EQ(pane->chimesets45().size(), standard.size() + 1);

    auto* box = pane->mainView()->findChildren<QComboBox*>().value(3); // :45
    ASSERT_TRUE(box);
    emit box->activated(box->findText(PealixPref::customChoiceName));
    QFileDialog* sheet = pane->customSoundPanel();
    ASSERT_TRUE(sheet);
    sheet->selectFile(chosen);
    static_cast<QDialog*>(sheet)->accept(); // what the sheet's Open button does

    const QVariantMap entry{{QStringLiteral("setname"), QStringLiteral("new bells.wav")},
                            {QStringLiteral("file"), chosen},
                            {QStringLiteral("custom"), true}};
    // The file may still be loading when the sheet closes.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->sound45min() == entry; }, 10000));
    QVariantList expected = standard;
    expected.insert(standard.size() - 1, entry);
    EXPECT_EQ(pane->chimesets45(), expected);
    EXPECT_EQ(box->currentText(), QStringLiteral("new bells.wav"));
    EXPECT_EQ(saved(*pane, PrefKeys::chimeInfo).toList().value(3).toMap().value(PrefKeys::path), chosen);
}

// In each language a page's mnemonics differ from each other, from the page names and from the retry
// button above the pages; the mnemonic of a label goes to its buddy.
TEST_F(PaneWindowTest, each_page_has_mnemonics_of_its_own_in_every_language)
{
    for (const QString& language : {QString(), QStringLiteral("de"), QStringLiteral("fr")}) {
        SCOPED_TRACE(language.isEmpty() ? std::string("English") : language.toStdString());
        QTranslator translator;
        if (!language.isEmpty()) {
            ASSERT_TRUE(translator.load(QStringLiteral("pealix_") + language,
                                        QStringLiteral(PEALIX_STAGE_TRANSLATIONS)));
            QCoreApplication::installTranslator(&translator);
        }
        auto pane = open();
        QTabWidget* tabs = pane->tabView();
        ASSERT_TRUE(tabs);
        if (!language.isEmpty()) {
            EXPECT_NE(tabs->tabText(0), QStringLiteral("&Chimes")) << "the translation is loaded";
        }
        // Each text with a mnemonic, by its key.
        using Mnemonics = QMultiMap<QString, QString>;
        const auto add = [](Mnemonics& found, const QString& text) {
            const QString key = QKeySequence::mnemonic(text).toString();
            if (!key.isEmpty())
                found.insert(key, text);
        };
        Mnemonics shared;
        for (int i = 0; i < tabs->count(); ++i)
            add(shared, tabs->tabText(i));
        for (auto* button : pane->mainView()->findChildren<QAbstractButton*>())
            if (!tabs->isAncestorOf(button))
                add(shared, button->text());
        for (int i = 0; i < tabs->count(); ++i) {
            Mnemonics page = shared;
            for (auto* button : tabs->widget(i)->findChildren<QAbstractButton*>())
                add(page, button->text());
            for (auto* label : tabs->widget(i)->findChildren<QLabel*>())
                if (label->buddy())
                    add(page, label->text());
            for (const QString& key : page.uniqueKeys())
                EXPECT_EQ(page.count(key), 1) << tabs->tabText(i).toStdString() << ": " << key.toStdString()
                                              << " for " << page.values(key).join(", ").toStdString();
        }
        pane.reset();
        QCoreApplication::removeTranslator(&translator);
    }
}
