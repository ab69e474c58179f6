// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/bindings/Bindings.h"

#include "platform/bindings/KeyValueCoding.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QWidget>

namespace platform {

namespace {

// Carries one widget-to-key link; the guard keeps a value coming from the key from going back.
class PropertyBinding : public QObject {
    Q_OBJECT
public:
    PropertyBinding(QWidget* widget, const char* widgetProperty, QObject* object, const char* key)
        : QObject(widget), m_widget(widget), m_widgetProperty(widgetProperty), m_object(object), m_key(key)
    {
        addObserver(object, key, this, [this](const KeyValueChange& change) { show(change.newValue); });
        show(valueForKey(object, key));
        const QMetaObject* meta = widget->metaObject();
        const QMetaProperty property = meta->property(meta->indexOfProperty(widgetProperty));
        if (property.hasNotifySignal()) {
            const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("widgetChanged()"));
            QObject::connect(widget, property.notifySignal(), this, slot);
        }
    }

public slots:
    void widgetChanged()
    {
        if (m_showing || !m_object)
            return;
        const QVariant value = m_widget->property(m_widgetProperty.constData());
        if (value != valueForKey(m_object, m_key.constData()))
            setValueForKey(m_object, value, m_key.constData());
    }

private:
    void show(const QVariant& value)
    {
        if (!m_widget)
            return;
        m_showing = true;
        m_widget->setProperty(m_widgetProperty.constData(), value);
        m_showing = false;
    }

    QPointer<QWidget> m_widget;
    QByteArray m_widgetProperty;
    QPointer<QObject> m_object;
    QByteArray m_key;
    bool m_showing = false;
};

class ChoiceBinding : public QObject {
public:
    ChoiceBinding(QComboBox* box, QObject* object, const char* listKey, const char* selectionKey,
                  const QString& displayKey, const char* translationContext)
        : QObject(box), m_box(box), m_object(object), m_selectionKey(selectionKey)
    {
        m_model = new ChoiceListModel(object, listKey, displayKey, this, translationContext);
        box->setModel(m_model);
        connect(m_model, &ChoiceListModel::entriesReplaced, this, &ChoiceBinding::showSelection);
        addObserver(object, selectionKey, this, [this](const KeyValueChange&) { showSelection(); });
        showSelection();
        connect(box, &QComboBox::activated, this, [this](int index) {
            if (m_object && index >= 0 && index < m_model->entries().size())
                setValueForKey(m_object, m_model->entries().at(index), m_selectionKey.constData());
        });
    }

private:
    void showSelection()
    {
        if (!m_box || !m_object)
            return;
        const QVariant selection = valueForKey(m_object, m_selectionKey.constData());
        m_box->setCurrentIndex(int(m_model->entries().indexOf(selection)));
    }

    QPointer<QComboBox> m_box;
    QPointer<QObject> m_object;
    QByteArray m_selectionKey;
    ChoiceListModel* m_model = nullptr;
};

} // namespace

ChoiceListModel::ChoiceListModel(QObject* object, const char* listKey, const QString& displayKey,
                                 QObject* parent, const char* translationContext)
    : QAbstractListModel(parent), m_displayKey(displayKey), m_translationContext(translationContext)
{
    m_entries = valueForKey(object, listKey).toList();
    addObserver(object, listKey, this,
                [this](const KeyValueChange& change) { replace(change.newValue.toList()); });
}

int ChoiceListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant ChoiceListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return {};
    const QString text = m_entries.at(index.row()).toMap().value(m_displayKey).toString();
    return m_translationContext ? QCoreApplication::translate(m_translationContext, text.toUtf8().constData())
                                : text;
}

void ChoiceListModel::replace(const QVariantList& entries)
{
    beginResetModel();
    m_entries = entries;
    endResetModel();
    emit entriesReplaced();
}

void bind(QWidget* widget, const char* widgetProperty, QObject* object, const char* key)
{
    if (widget && object)
        new PropertyBinding(widget, widgetProperty, object, key);
}

void bindChoice(QComboBox* box, QObject* object, const char* listKey, const char* selectionKey,
                const QString& displayKey, const char* translationContext)
{
    if (box && object)
        new ChoiceBinding(box, object, listKey, selectionKey, displayKey, translationContext);
}

} // namespace platform

#include "Bindings.moc"
