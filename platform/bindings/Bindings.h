// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Two-way bindings between widgets and key-value properties (KeyValueCoding.h). A change of the key is
// written into the widget and not sent back; a change the user makes in the widget sets the key.
// A binding lives as long as its widget.

#include "platform/Export.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QVariantList>

class QComboBox;
class QWidget;

namespace platform {

// The entries of a list key (maps), each shown by the text under displayKey, translated in the given
// context where a translation of it exists; follows every change of the key.
class PEALIX_EXPORT ChoiceListModel : public QAbstractListModel {
    Q_OBJECT
public:
    ChoiceListModel(QObject* object, const char* listKey, const QString& displayKey, QObject* parent,
                    const char* translationContext = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const QVariantList& entries() const { return m_entries; }

signals:
    void entriesReplaced();

private:
    void replace(const QVariantList& entries);

    QVariantList m_entries;
    QString m_displayKey;
    const char* m_translationContext = nullptr;
};

// The widget property (a check box's "checked", a slider's "value") follows the key and sets it.
PEALIX_EXPORT void bind(QWidget* widget, const char* widgetProperty, QObject* object, const char* key);

// The box lists the entries of listKey and shows the entry that selectionKey holds (none when it holds
// no entry of the list). A pick sets selectionKey, also when the same entry is picked again. The entries
// show their translation in translationContext, where there is one; the entries themselves stay as they are.
PEALIX_EXPORT void bindChoice(QComboBox* box, QObject* object, const char* listKey, const char* selectionKey,
                              const QString& displayKey, const char* translationContext = nullptr);

} // namespace platform
