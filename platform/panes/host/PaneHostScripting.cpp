// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PaneHostScripting.h"

#include "PaneHostWindow.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaObject>

PaneHostScripting::PaneHostScripting(PaneHostWindow* window) : QObject(window), m_window(window) {}

bool PaneHostScripting::ShowPane(const QString& path)
{
    // Another start without a pane only asks for the window.
    bool shown = true;
    if (!path.isEmpty())
        shown = QFileInfo(path).isAbsolute() && m_window->showPane(path);
    m_window->bringToFront();
    return shown;
}

QString PaneHostScripting::CurrentPaneIdentifier() const
{
    return m_window->currentPaneIdentifier();
}

QString PaneHostScripting::Title() const
{
    return m_window->windowTitle();
}

QString PaneHostScripting::Message() const
{
    return m_window->message();
}

QStringList PaneHostScripting::ListedPanes() const
{
    return m_window->listedPanes();
}

QString PaneHostScripting::WindowHandle() const
{
    // Wayland keeps a window's identity to its own client; there the answer stays a window of its own.
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !m_window->isVisible())
        return {};
    return QStringLiteral("x11:%1").arg(quint64(m_window->winId()));
}

void PaneHostScripting::Quit()
{
    m_quitRequested = true;
    // Queued, so that the caller gets its reply before the host goes. exit, unlike quit, also ends a pane's
    // loop that runs before the main one.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}
