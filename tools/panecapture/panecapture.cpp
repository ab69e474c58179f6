// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// panecapture PANE.prefPane OUTDIR [SUFFIX]: shows a pane in the pane host's window, loaded the way the
// host loads it, and saves the window as OUTDIR/<page>-<light|dark>SUFFIX.png for every page of the
// pane's tab widget. The scale comes from QT_SCALE_FACTOR; SUFFIX (for example "@2x") names it.

#include "PaneHostWindow.h"
#include "platform/core/Translations.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPalette>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

namespace {

// Long enough for a pane that fills its lists off the main thread; each later page only repaints.
constexpr int firstSettleMs = 500;
constexpr int pageSettleMs = 80;

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2d, 0x2d, 0x30), base(0x1e, 0x1e, 0x20), text(0xe8, 0xe8, 0xe8);
    const QColor disabled(0x80, 0x80, 0x80), highlight(0x35, 0x84, 0xe4);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4f));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x44));
    p.setColor(QPalette::Mid, QColor(0x28, 0x28, 0x2b));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, highlight.lighter(130));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

// "&Chimes" -> "chimes", "&Über" -> "uber"; a page without a usable title is named by its place.
QString pageName(const QTabWidget& tabs, int index)
{
    // Letters with accents keep their base letter rather than splitting the name.
    QString name =
        tabs.tabText(index).remove(QLatin1Char('&')).normalized(QString::NormalizationForm_KD).toLower();
    name.remove(QRegularExpression(QStringLiteral("\\p{Mn}")));
    name.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    name.remove(QRegularExpression(QStringLiteral("^-+|-+$")));
    return name.isEmpty() ? QStringLiteral("page%1").arg(index + 1) : name;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    platform::loadTranslations();
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3 || arguments.size() > 4) {
        std::fputs("usage: panecapture PANE.prefPane OUTDIR [SUFFIX]\n", stderr);
        return 2;
    }
    const QString outDir = arguments.at(2), suffix = arguments.value(3);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "panecapture: cannot make %s\n", qPrintable(outDir));
        return 1;
    }
    // One style on every machine, so that the pictures do not depend on the desktop they were made on.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QPalette light = QApplication::style()->standardPalette();

    PaneHostWindow window;
    if (!window.showPane(QDir(arguments.at(1)).absolutePath())) {
        std::fprintf(stderr, "panecapture: %s\n", qPrintable(window.message()));
        return 1;
    }
    window.resize(window.sizeHint().expandedTo(QSize(480, 320)));
    window.show();
    settle(firstSettleMs);

    QTabWidget* tabs = nullptr;
    for (QTabWidget* candidate : window.findChildren<QTabWidget*>())
        if (!tabs || candidate->width() * candidate->height() > tabs->width() * tabs->height())
            tabs = candidate;
    if (!tabs || tabs->count() == 0) {
        std::fputs("panecapture: the pane has no tab widget with pages\n", stderr);
        return 1;
    }
    int saved = 0;
    for (const auto& [theme, palette] :
         {std::pair{QStringLiteral("light"), light}, std::pair{QStringLiteral("dark"), darkPalette()}}) {
        QApplication::setPalette(palette);
        for (int index = 0; index < tabs->count(); ++index) {
            tabs->setCurrentIndex(index);
            settle(pageSettleMs);
            const QString path =
                QStringLiteral("%1/%2-%3%4.png").arg(outDir, pageName(*tabs, index), theme, suffix);
            if (!window.grab().save(path)) {
                std::fprintf(stderr, "panecapture: cannot write %s\n", qPrintable(path));
                return 1;
            }
            std::printf("%s\n", qPrintable(path));
            ++saved;
        }
    }
    return saved > 0 ? 0 : 1;
}
