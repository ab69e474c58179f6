// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PaneHostWindow.h"

#include "PaneLoader.h"
#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QShortcut>
#include <QStackedWidget>
#include <QThread>
#include <QVBoxLayout>
#include <exception>
#include <utility>

Q_LOGGING_CATEGORY(lcHost, "pealix.panehost", QtWarningMsg)

namespace {

//: The window's title while it shows no pane: the desktop's preferences.
const char* const hostTitle = QT_TRANSLATE_NOOP("PaneHost", "Preferences");

QString canonical(const QString& path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(path) : resolved;
}

} // namespace

PaneHostWindow::PaneHostWindow()
    : m_stack(new QStackedWidget(this)), m_overview(new QListWidget), m_message(new QLabel)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setMargin(24);
    m_overview->setAccessibleName(QCoreApplication::translate("PaneHost", "Preference panes"));
    m_stack->addWidget(m_overview);
    m_stack->addWidget(m_message);
    connect(m_overview, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { showPane(item->data(Qt::UserRole).toString()); });
    setWindowTitle(QCoreApplication::translate("PaneHost", hostTitle));
    // The keys of every desktop program: Ctrl+W closes the window (and so ends the host), Ctrl+Q quits.
    auto* close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    auto* quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, [] { QCoreApplication::exit(0); });
    m_pending.setInterval(100);
    connect(&m_pending, &QTimer::timeout, this, [this] {
        if (paneIsRunning())
            return;
        m_pending.stop();
        showPane(std::exchange(m_pendingPath, QString()));
    });
}

PaneHostWindow::~PaneHostWindow()
{
    dropPane();
}

bool PaneHostWindow::paneIsRunning() const
{
    // The main loop is level one; a deeper one was started by the pane (only the pane runs dialogs).
    return m_paneCalls > 0 || QThread::currentThread()->loopLevel() > 1;
}

void PaneHostWindow::dropPane()
{
    if (!m_pane)
        return;
    if (QWidget* view = m_pane->mainView())
        m_stack->removeWidget(view);
    m_pane.reset();
    m_panePath.clear();
    m_identifier.clear();
}

void PaneHostWindow::showMessage(const QString& title, const QString& text)
{
    dropPane();
    m_message->setText(text);
    m_stack->setCurrentWidget(m_message);
    setWindowTitle(title);
    platform::log(text);
}

bool PaneHostWindow::showPane(const QString& path)
{
    const QString bundlePath = canonical(path);
    if (m_pane && bundlePath == m_panePath)
        return true;
    if (paneIsRunning()) {
        qCDebug(lcHost) << "showing" << bundlePath << "once the pane returns";
        m_pendingPath = bundlePath;
        m_pending.start();
        return true;
    }
    ++m_paneCalls;
    const auto returned = qScopeGuard([this] { --m_paneCalls; });

    // The old pane is gone before the new one starts, so two panes never both write their settings.
    dropPane();
    LoadedPane loaded = loadPane(bundlePath);
    if (!loaded.pane) {
        showMessage(loaded.label.isEmpty() ? QCoreApplication::translate("PaneHost", hostTitle)
                                           : loaded.label,
                    loaded.error);
        return false;
    }
    QWidget* view = nullptr;
    try {
        view = loaded.pane->loadMainView();
        if (view && loaded.pane->mainView() != view)
            loaded.pane->setMainView(view);
        if (view) {
            m_stack->addWidget(view);
            loaded.pane->mainViewDidLoad();
        }
    } catch (const std::exception& e) {
        view = nullptr;
        loaded.error = QCoreApplication::translate("PaneHost", "The pane “%1” failed to load its view: %2")
                           .arg(loaded.label, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        view = nullptr;
        loaded.error = QCoreApplication::translate("PaneHost", "The pane “%1” failed to load its view.")
                           .arg(loaded.label);
    }
    if (!view) {
        if (loaded.error.isEmpty())
            loaded.error = QCoreApplication::translate("PaneHost", "The pane “%1” has no view to show.")
                               .arg(loaded.label);
        showMessage(loaded.label, loaded.error);
        return false;
    }
    m_pane = std::move(loaded.pane);
    m_panePath = bundlePath;
    m_identifier = loaded.identifier;
    m_message->clear();
    m_stack->setCurrentWidget(view);
    setWindowTitle(loaded.label);
    qCDebug(lcHost) << "showing" << m_panePath << m_identifier;
    try {
        m_pane->didSelect();
    } catch (...) {
        qCDebug(lcHost) << "didSelect threw";
    }
    return true;
}

void PaneHostWindow::showOverview()
{
    dropPane();
    m_overview->clear();
    for (const QString& path : findPanes()) {
        auto* item = new QListWidgetItem(paneLabel(platform::Bundle(path)), m_overview);
        item->setData(Qt::UserRole, path);
        item->setToolTip(path);
    }
    if (m_overview->count() == 0) {
        m_message->setText(QCoreApplication::translate("PaneHost", "No preference panes are installed."));
        m_stack->setCurrentWidget(m_message);
    } else {
        m_message->clear();
        m_overview->setCurrentRow(0);
        m_stack->setCurrentWidget(m_overview);
    }
    setWindowTitle(QCoreApplication::translate("PaneHost", hostTitle));
}

bool PaneHostWindow::event(QEvent* event)
{
    // Benchmarks time a start-up to this line; it comes once the first frame has been painted and flushed.
    if (event->type() == QEvent::Paint && !m_drawn) {
        m_drawn = true;
        QTimer::singleShot(0, this, [this] { qCDebug(lcHost) << "first frame shown:" << windowTitle(); });
    }
    return QWidget::event(event);
}

void PaneHostWindow::bringToFront()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

QString PaneHostWindow::currentPaneIdentifier() const
{
    return m_pane ? m_identifier : QString();
}

QStringList PaneHostWindow::listedPanes() const
{
    QStringList panes;
    if (m_stack->currentWidget() == m_overview) {
        for (int row = 0; row < m_overview->count(); ++row)
            panes.append(m_overview->item(row)->data(Qt::UserRole).toString());
    }
    return panes;
}

QString PaneHostWindow::message() const
{
    return m_stack->currentWidget() == m_message ? m_message->text() : QString();
}
