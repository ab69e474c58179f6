// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/bindings/KeyValueCoding.h"

#include <QHash>
#include <QList>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcKeyValue, "pealix.keyvalue", QtWarningMsg)

namespace platform {

namespace {

struct ObserverEntry {
    QPointer<QObject> observer;
    KeyValueObserver handler;
    const void* context = nullptr;
    quint64 id = 0;
};

struct KeyState {
    // The value the observers last heard of: the old value of the next change.
    QVariant delivered;
    QList<ObserverEntry> observers;
    int changeDepth = 0;
    int writeDepth = 0;
    bool notifiedInWrite = false;
    bool connected = false;
    quint64 generation = 0;
};

QMetaProperty propertyOf(const QObject* object, const char* key)
{
    const QMetaObject* meta = object->metaObject();
    const int index = meta->indexOfProperty(key);
    return index < 0 ? QMetaProperty() : meta->property(index);
}

} // namespace

// The observation state of one object, kept as its child so that it goes with it.
class KeyValueRegistry : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static KeyValueRegistry* of(QObject* object, bool create)
    {
        auto* registry = object->findChild<KeyValueRegistry*>(QString(), Qt::FindDirectChildrenOnly);
        if (!registry && create)
            registry = new KeyValueRegistry(object);
        return registry;
    }

    KeyState* state(const QByteArray& key)
    {
        auto it = m_keys.find(key);
        return it == m_keys.end() ? nullptr : &*it;
    }
    KeyState& ensure(const QByteArray& key) { return m_keys[key]; }

    void followNotifySignal(QObject* object, const QByteArray& key, KeyState& state)
    {
        if (state.connected)
            return;
        state.connected = true;
        const QMetaProperty property = propertyOf(object, key.constData());
        if (!property.hasNotifySignal())
            return;
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("propertyNotified()"));
        const int signal = property.notifySignalIndex();
        if (!m_keysBySignal.contains(signal))
            QObject::connect(object, property.notifySignal(), this, slot);
        m_keysBySignal.insert(signal, key);
    }

    // Tells the key's observers the change from what they last heard to the value now.
    void deliver(const QByteArray& key)
    {
        KeyState* s = state(key);
        if (!s || s->changeDepth > 0)
            return;
        if (s->writeDepth > 0)
            s->notifiedInWrite = true;
        if (s->observers.isEmpty())
            return;
        KeyValueChange change;
        change.key = key;
        change.newValue = parent()->property(key.constData());
        change.oldValue = std::exchange(s->delivered, change.newValue);
        const quint64 generation = ++s->generation;
        const QList<ObserverEntry> observers = s->observers;
        for (const ObserverEntry& entry : observers) {
            // A handler may have removed a later observer; the copy would still call it.
            KeyState* now = state(key);
            // A handler that changed the key again has had the newer change delivered to everyone.
            if (!now || now->generation != generation)
                return;
            if (!entry.observer)
                continue;
            const bool registered = std::any_of(now->observers.cbegin(), now->observers.cend(),
                                                [&](const ObserverEntry& e) { return e.id == entry.id; });
            if (!registered)
                continue;
            change.context = entry.context;
            entry.handler(change);
        }
    }

    quint64 nextId() { return ++m_lastId; }

public slots:
    void propertyNotified()
    {
        const QList<QByteArray> keys = m_keysBySignal.values(senderSignalIndex());
        for (const QByteArray& key : keys)
            deliver(key);
    }

private:
    QHash<QByteArray, KeyState> m_keys;
    QMultiHash<int, QByteArray> m_keysBySignal;
    quint64 m_lastId = 0;
};

QVariant valueForKey(const QObject* object, const char* key)
{
    if (!object)
        return {};
    return object->property(key);
}

bool setValueForKey(QObject* object, const QVariant& value, const char* key)
{
    if (!object)
        return false;
    const QMetaProperty property = propertyOf(object, key);
    if (!property.isValid() || !property.isWritable()) {
        qCDebug(lcKeyValue) << object << "has no writable key" << key;
        return false;
    }
    const QByteArray name(key);
    QPointer<KeyValueRegistry> registry = KeyValueRegistry::of(object, false);
    bool outerNotified = false;
    if (KeyState* s = registry ? registry->state(name) : nullptr) {
        outerNotified = std::exchange(s->notifiedInWrite, false);
        ++s->writeDepth;
    }
    const bool ok = property.write(object, value);
    if (KeyState* s = registry ? registry->state(name) : nullptr) {
        --s->writeDepth;
        const bool notified = s->notifiedInWrite;
        s->notifiedInWrite = outerNotified || notified;
        // Setting a key always tells its observers, also when the setter found nothing to change.
        if (ok && !notified)
            registry->deliver(name);
    }
    return ok;
}

void willChangeValueForKey(QObject* object, const char* key)
{
    if (!object)
        return;
    KeyState& s = KeyValueRegistry::of(object, true)->ensure(key);
    if (s.changeDepth++ == 0 && !s.observers.isEmpty())
        s.delivered = object->property(key);
}

void didChangeValueForKey(QObject* object, const char* key)
{
    if (!object)
        return;
    KeyValueRegistry* registry = KeyValueRegistry::of(object, false);
    KeyState* s = registry ? registry->state(key) : nullptr;
    if (!s || s->changeDepth == 0 || --s->changeDepth > 0)
        return;
    const QMetaProperty property = propertyOf(object, key);
    if (!property.hasNotifySignal()) {
        registry->deliver(key);
        return;
    }
    // The signal reaches bound widgets as well as the observers.
    const QMetaMethod signal = property.notifySignal();
    const bool connected = s->connected;
    if (signal.parameterCount() == 0) {
        signal.invoke(object, Qt::DirectConnection);
    } else {
        const QVariant value = object->property(key);
        signal.invoke(object, Qt::DirectConnection,
                      QGenericArgument(value.metaType().name(), value.constData()));
    }
    if (!connected)
        registry->deliver(key);
}

void addObserver(QObject* object, const char* key, QObject* observer, KeyValueObserver handler,
                 const void* context)
{
    if (!object || !observer || !handler || !propertyOf(object, key).isValid())
        return;
    KeyValueRegistry* registry = KeyValueRegistry::of(object, true);
    KeyState& s = registry->ensure(key);
    if (s.observers.isEmpty() && s.changeDepth == 0)
        s.delivered = object->property(key);
    s.observers.append({observer, std::move(handler), context, registry->nextId()});
    registry->followNotifySignal(object, key, s);
}

void removeObserver(QObject* object, const char* key, QObject* observer)
{
    KeyValueRegistry* registry = object ? KeyValueRegistry::of(object, false) : nullptr;
    if (KeyState* s = registry ? registry->state(key) : nullptr)
        s->observers.removeIf([&](const ObserverEntry& e) { return !e.observer || e.observer == observer; });
}

MutableArrayProxy::MutableArrayProxy(QObject* object, const char* key) : m_object(object), m_key(key) {}

QVariantList MutableArrayProxy::list() const
{
    return valueForKey(m_object, m_key.constData()).toList();
}

void MutableArrayProxy::store(const QVariantList& list)
{
    setValueForKey(m_object, list, m_key.constData());
}

qsizetype MutableArrayProxy::count() const
{
    return list().size();
}

QVariant MutableArrayProxy::at(qsizetype index) const
{
    return list().value(index);
}

void MutableArrayProxy::insert(qsizetype index, const QVariant& value)
{
    QVariantList items = list();
    if (index < 0 || index > items.size())
        return;
    items.insert(index, value);
    store(items);
}

void MutableArrayProxy::append(const QVariant& value)
{
    QVariantList items = list();
    items.append(value);
    store(items);
}

void MutableArrayProxy::removeAt(qsizetype index)
{
    QVariantList items = list();
    if (index < 0 || index >= items.size())
        return;
    items.removeAt(index);
    store(items);
}

MutableArrayProxy mutableArrayValueForKey(QObject* object, const char* key)
{
    return MutableArrayProxy(object, key);
}

} // namespace platform

#include "KeyValueCoding.moc"
