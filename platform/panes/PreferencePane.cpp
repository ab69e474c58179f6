// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/panes/PreferencePane.h"

namespace platform {

PreferencePane::PreferencePane(const Bundle& bundle, QObject* parent) : QObject(parent), m_bundle(bundle) {}

PreferencePane::~PreferencePane()
{
    // The view's code may live in the pane's library, so it goes with the pane, not with the window.
    delete m_mainView.data();
}

void PreferencePane::setMainView(QWidget* view)
{
    if (m_mainView == view)
        return;
    delete m_mainView.data();
    m_mainView = view;
}

QWidget* PreferencePane::loadMainView()
{
    auto* view = new QWidget;
    setMainView(view);
    return view;
}

void PreferencePane::mainViewDidLoad() {}

void PreferencePane::didSelect() {}

} // namespace platform
