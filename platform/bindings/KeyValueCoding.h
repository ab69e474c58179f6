// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Key-value coding and observing on Qt properties: a key is a Q_PROPERTY name of a QObject.
//
// setValueForKey runs the property's setter and then tells the key's observers, synchronously, the old
// and the new value and the context they registered with, even when the value did not change. A setter
// that emits the property's NOTIFY signal (which may take no argument or the value) also notifies when it
// is called directly; a field changed without the setter is announced with will/didChangeValueForKey.
// Observers may change keys, also the one being delivered, from inside their handler.

#include "platform/Export.h"

#include <QObject>
#include <QVariant>
#include <QVariantList>
#include <functional>

namespace platform {

struct KeyValueChange {
    QByteArray key;
    QVariant oldValue;
    QVariant newValue;
    const void* context = nullptr;
};

using KeyValueObserver = std::function<void(const KeyValueChange&)>;

// Invalid when the object has no such property.
PEALIX_EXPORT QVariant valueForKey(const QObject* object, const char* key);
// False when the object has no such writable property or the value does not convert to its type.
PEALIX_EXPORT bool setValueForKey(QObject* object, const QVariant& value, const char* key);

// Bracket a change of the field behind a key that bypasses its setter; brackets of one key may nest,
// the outermost did notifies.
PEALIX_EXPORT void willChangeValueForKey(QObject* object, const char* key);
PEALIX_EXPORT void didChangeValueForKey(QObject* object, const char* key);

// The handler runs until removeObserver or until the observer or the object is destroyed.
PEALIX_EXPORT void addObserver(QObject* object, const char* key, QObject* observer, KeyValueObserver handler,
                               const void* context = nullptr);
PEALIX_EXPORT void removeObserver(QObject* object, const char* key, QObject* observer);

// Edits a list property in place through its setter; each edit is one change of the key.
class PEALIX_EXPORT MutableArrayProxy {
public:
    MutableArrayProxy(QObject* object, const char* key);

    qsizetype count() const;
    QVariant at(qsizetype index) const;
    // Out-of-range indexes are ignored (insert accepts count()).
    void insert(qsizetype index, const QVariant& value);
    void append(const QVariant& value);
    void removeAt(qsizetype index);

private:
    QVariantList list() const;
    void store(const QVariantList& list);

    QObject* m_object;
    QByteArray m_key;
};

PEALIX_EXPORT MutableArrayProxy mutableArrayValueForKey(QObject* object, const char* key);

} // namespace platform
