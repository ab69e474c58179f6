// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Plays the tab view's transitions between two filled pages of a 640 x 480 view on the offscreen platform,
// at device pixel ratios 1 and 2, and reports per style: frames drawn per 0.5 s transition, the time the
// view's paint takes per frame (the picture of the frame included), the longest gap between frames, the
// process's CPU time per frame and the wall time of the blocking change.
//   tabview_bench [transitions per style]

#include "support/AnimatingTabView.h"
#include "support/TransitionFilter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFormLayout>
#include <QHeaderView>
#include <QProcess>
#include <QSlider>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <sys/resource.h>

namespace {

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

class MeasuredTabView : public AnimatingTabView {
public:
    QString filterName;
    std::vector<qint64> paintNs;
    std::vector<qint64> frameAtNs;
    QElapsedTimer clock;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (!animation()) {
            AnimatingTabView::paintEvent(event);
            return;
        }
        QElapsedTimer t;
        t.start();
        AnimatingTabView::paintEvent(event);
        paintNs.push_back(t.nsecsElapsed());
        filterName = transitionFilter()->name();
        frameAtNs.push_back(clock.nsecsElapsed());
    }
};

QWidget* settingsPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    for (int i = 0; i < 4; ++i) {
        auto* choice = new QComboBox;
        choice->addItems(
            {QStringLiteral("Westminster"), QStringLiteral("Whittington"), QStringLiteral("Custom...")});
        form->addRow(QStringLiteral(":%1").arg(i * 15, 2, 10, QLatin1Char('0')), choice);
        form->addRow(new QCheckBox(QStringLiteral("Melody")), new QCheckBox(QStringLiteral("Strikes")));
    }
    auto* volume = new QSlider(Qt::Horizontal);
    volume->setRange(0, 100);
    volume->setValue(70);
    form->addRow(QStringLiteral("Volume"), volume);
    form->addRow(new QCheckBox(QStringLiteral("Show the menu in the menu bar")));
    return page;
}

QWidget* listPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* table = new QTableWidget(12, 2);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < 12; ++r) {
        table->setItem(r, 0, new QTableWidgetItem(QStringLiteral("Application %1").arg(r)));
        table->setItem(r, 1,
                       new QTableWidgetItem(QStringLiteral("/usr/share/applications/app%1.desktop").arg(r)));
    }
    layout->addWidget(table);
    auto* text = new QTextEdit;
    text->setPlainText(
        QStringLiteral("Chimes stay silent while any of these applications runs.\n").repeated(6));
    layout->addWidget(text);
    return page;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

int runChild(int argc, char** argv, int transitions)
{
    QApplication app(argc, argv);
    MeasuredTabView view;
    view.addTab(settingsPage(), QStringLiteral("Chimes"));
    view.addTab(listPage(), QStringLiteral("Exclusions"));
    view.resize(640, 480);
    view.show();
    for (int i = 0; i < 100 && !(view.windowHandle() && view.windowHandle()->isExposed()); ++i)
        waitMs(10);
    waitMs(100);
    const QSize page = view.currentWidget()->size();
    const qreal ratio = view.devicePixelRatioF();
    std::printf("ratio %.0fx, view 640 x 480, page %d x %d (pictures %d x %d px), %d transitions per style\n",
                ratio, page.width(), page.height(), int(page.width() * ratio), int(page.height() * ratio),
                transitions);
    std::printf("%-5s %-24s %9s %9s %9s %9s %9s %9s %9s\n", "style", "filter", "frames", "min", "paint ms",
                "p95 ms", "gap ms", "cpu ms", "change ms");
    for (int style = 0; style <= 4; ++style) {
        view.setTransitionStyle(style);
        std::vector<int> frames;
        std::vector<double> paintMs, gapMs, changeMs, cpuPerFrame;
        QString name;
        for (int i = 0; i < transitions; ++i) {
            view.paintNs.clear();
            view.frameAtNs.clear();
            view.clock.start();
            const double cpu0 = cpuMs();
            view.setCurrentIndex(1 - view.currentIndex());
            changeMs.push_back(view.clock.nsecsElapsed() / 1e6);
            const double cpu = cpuMs() - cpu0;
            frames.push_back(int(view.paintNs.size()));
            for (size_t f = 0; f < view.paintNs.size(); ++f) {
                paintMs.push_back(view.paintNs[f] / 1e6);
                if (f > 0)
                    gapMs.push_back((view.frameAtNs[f] - view.frameAtNs[f - 1]) / 1e6);
            }
            if (!view.paintNs.empty())
                cpuPerFrame.push_back(cpu / double(view.paintNs.size()));
            waitMs(20);
        }
        name = view.filterName;
        const double meanFrames = std::accumulate(frames.begin(), frames.end(), 0.0) / frames.size();
        const double meanPaint =
            paintMs.empty() ? 0 : std::accumulate(paintMs.begin(), paintMs.end(), 0.0) / paintMs.size();
        const double meanCpu =
            cpuPerFrame.empty()
                ? 0
                : std::accumulate(cpuPerFrame.begin(), cpuPerFrame.end(), 0.0) / cpuPerFrame.size();
        std::printf("%-5d %-24s %9.1f %9d %9.2f %9.2f %9.1f %9.2f %9.0f\n", style, qPrintable(name),
                    meanFrames, *std::min_element(frames.begin(), frames.end()), meanPaint,
                    percentile(paintMs, 0.95),
                    gapMs.empty() ? 0.0 : *std::max_element(gapMs.begin(), gapMs.end()), meanCpu,
                    std::accumulate(changeMs.begin(), changeMs.end(), 0.0) / changeMs.size());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int transitions = 8;
    bool child = false;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--child") == 0)
            child = true;
        else
            transitions = std::max(1, atoi(argv[i]));
    }
    if (child)
        return runChild(argc, argv, transitions);

    // One process per ratio: the scale factor is read once, when the application starts.
    QCoreApplication app(argc, argv);
    int status = 0;
    for (const char* scale : {"1", "2"}) {
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(scale));
        env.insert(QStringLiteral("PEALIX_REDUCED_MOTION"), QStringLiteral("0"));
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        run.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--child"), QString::number(transitions)});
        if (!run.waitForFinished(600000) || run.exitCode() != 0)
            status = 1;
        std::fflush(stdout);
    }
    return status;
}
