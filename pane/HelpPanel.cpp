// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pane/HelpPanel.h"

#include "platform/bundles/Bundle.h"
#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/panes/PreferencePane.h"
#include "platform/settings/Preferences.h"
#include "platform/ui/WindowIdentity.h"
#include "platform/workspace/Workspace.h"
#include "shared/PrefKeys.h"
#include "shared/Product.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString helpAgentBundleName = QLatin1String(Product::agentBundleName);

// What the platform writes in place of a missing object.
QString orNull(const QVariant& value)
{
    return value.isValid() ? value.toString() : QStringLiteral("(null)");
}

} // namespace

HelpPanel::HelpPanel(const platform::PreferencePane& pane) : m_pane(pane) {}

HelpPanel::~HelpPanel() = default;

void HelpPanel::build()
{
    auto* panel = new QDialog(m_pane.window());
    panel->setObjectName(QStringLiteral("helpWindow"));
    panel->setWindowTitle(tr("Pealix Help"));
    auto* layout = new QVBoxLayout(panel);
    m_versionAndCopyright = new QLabel(panel);
    m_versionAndCopyright->setAccessibleName(tr("Version"));
    m_versionAndCopyright->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_versionAndCopyright);
    auto* text = new QLabel(panel);
    // A test checks that each page and each control named in italics is found in the window by that name.
    text->setObjectName(QStringLiteral("helpText"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setText(
        tr("<p>Pealix chimes the quarter hours. At each quarter you turn on it plays the melody of the chime "
           "set you chose for it, or a sound file of your own, and, where you ask for it, strikes the hour "
           "after the melody.</p>"
           "<p><b>Chimes</b>: <i>Chimes on</i> starts Pealix now and at every login, and stops it when "
           "turned off. For each quarter, :00, :15, :30 and :45, choose a chime set in its list, or "
           "<i>Custom...</i> to pick a sound file; <i>Play melody</i> and <i>Strike the hour</i> turn the "
           "melody and the hour strikes on or off; <i>Preview</i> plays or stops the sound; <i>Volume</i> "
           "sets the volume of every chime. The line below it says when the next chime sounds.</p>"
           "<p><b>Quiet Hours</b>: during quiet hours the chimes stay silent, or play quietly. <i>Add quiet "
           "hours</i> adds a range of hours; in each row choose its days and its times, or remove it. A "
           "range "
           "whose end is not after its start runs past midnight, and a start equal to the end is the whole "
           "day. Choose <i>Stay silent during quiet hours</i>, or <i>Play quietly "
           "during quiet hours</i> at the <i>Quiet volume</i>.</p>"
           "<p><b>Options</b>: <i>Show icon in the panel</i> puts an icon in the panel, from which you can "
           "silence the chimes for a while. Pealix stays silent while an application of the list "
           "<i>Excluded applications</i> runs: <i>Add application…</i> adds one, <i>Remove application</i> "
           "removes the selected one. It also stays silent <i>While Do Not Disturb is on</i>, <i>While the "
           "microphone is in use</i>, <i>While a full-screen window is focused</i> or <i>While the screen is "
           "locked</i>, each where its box is ticked.</p>"
           "<p><b>About</b>: <i>Help</i> shows this text; <i>Check for updates</i> looks for a newer "
           "version; <i>Uninstall…</i> removes Pealix.</p>"
           "<p>The settings are kept in %1.</p>")
            .arg(platform::Preferences(PrefKeys::domain).filePath().toHtmlEscaped()));
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, panel);
    buttons->button(QDialogButtonBox::Close)->setAccessibleName(tr("Close help"));
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { hide(); });
    layout->addWidget(buttons);
    m_window = panel;
}

void HelpPanel::show()
{
    if (!m_window)
        build();
    const QVariantMap info = m_pane.bundle().infoDictionary();
    m_versionAndCopyright->setText(QStringLiteral("%1 %2 (%3), %4")
                                       .arg(orNull(info.value(QStringLiteral("NSPrefPaneIconLabel"))),
                                            orNull(info.value(QStringLiteral("CFBundleShortVersionString"))),
                                            orNull(info.value(QStringLiteral("CFBundleVersion"))),
                                            orNull(info.value(QStringLiteral("CFBundleGetInfoString")))));
    // A sheet: modal for the pane's window only.
    m_window->setWindowModality(Qt::WindowModal);
    m_window->open();
}

void HelpPanel::hide()
{
    if (m_window)
        m_window->done(QDialog::Rejected);
}

void HelpPanel::checkForUpdates(bool agentActive)
{
    if (agentActive) {
        platform::DistributedNotificationCenter::defaultCenter()->postNotificationName(
            PrefKeys::updateCheckNotification);
        return;
    }
    const platform::Bundle agent(m_pane.bundle().pathForAuxiliaryExecutable(helpAgentBundleName));
    const QString executable = agent.bundlePath() + QStringLiteral("/Contents/Linux/") +
                               agent.infoDictionary().value(QStringLiteral("CFBundleExecutable")).toString();
    QProcess::startDetached(executable, {QStringLiteral("-u")});
}

QString HelpPanel::licencePath()
{
    return platform::installationPrefix() + QStringLiteral("/" PEALIX_DOC_DIR "/LICENSE");
}

void HelpPanel::showLicence()
{
    platform::Workspace::sharedWorkspace()->openFile(licencePath());
}
