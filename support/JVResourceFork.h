// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A file's resource fork opened for reading or writing, its resources by type and index, ID or name,
// and the file helpers that go with it (Pascal strings, file references, HFS paths, Finder information).
//
// Resource descriptions and enumerators belong to the fork they came from and see its later changes;
// a fork opened for writing stores each change at once.

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

namespace JVResourceForkDetail {
struct State;
}

constexpr quint32 fourCharCode(const char (&code)[5])
{
    return quint32(uchar(code[0])) << 24 | quint32(uchar(code[1])) << 16 | quint32(uchar(code[2])) << 8 |
           uchar(code[3]);
}

class JVResourceInfo {
public:
    JVResourceInfo(std::shared_ptr<JVResourceForkDetail::State> fork, quint32 type, qint16 index);

    quint32 resourceType() const { return m_type; }
    qint16 resourceIndex() const { return m_resourceIndex; }
    // Read on first use; 0 and a null name when the resource is gone.
    qint16 resourceId() const;
    QString name() const;
    // Read on first use and kept; nullopt when the resource is gone.
    std::optional<QByteArray> data() const;
    QString description() const;

private:
    std::shared_ptr<JVResourceForkDetail::State> m_fork;
    quint32 m_type;
    qint16 m_resourceIndex;
    mutable std::optional<QString> m_resourceName;
    mutable std::optional<qint16> m_resourceId;
    mutable std::optional<QByteArray> m_resourceData;
};

class ResourceEnumeratorForType {
public:
    ResourceEnumeratorForType(std::shared_ptr<JVResourceForkDetail::State> fork, quint32 type);
    // The next resource, nullopt after the last.
    std::optional<JVResourceInfo> nextObject();
    QList<JVResourceInfo> allObjects();

private:
    std::shared_ptr<JVResourceForkDetail::State> m_fork;
    quint32 m_type;
    qint16 m_numberOfResources;
    qint16 m_resourceIndex = 1;
};

class ResourceTypeEnumerator {
public:
    explicit ResourceTypeEnumerator(std::shared_ptr<JVResourceForkDetail::State> fork);
    std::optional<quint32> nextObject();
    QList<quint32> allObjects();

private:
    std::shared_ptr<JVResourceForkDetail::State> m_fork;
    qint16 m_numberOfTypes;
    qint16 m_typeIndex = 1;
};

class JVResourceFork {
public:
    enum Permission : qint8 { fsRdPerm = 1, fsWrPerm = 2, fsRdWrPerm = 3, fsRdWrShPerm = 4 };

    // Null when the file has no readable fork (or, for writing, the fork cannot be made: no folder,
    // a name over 1024 UTF-16 units, or a fork there already that does not parse).
    static std::unique_ptr<JVResourceFork> resourceForkForReadingAtPath(const QString& path);
    static std::unique_ptr<JVResourceFork> resourceForkForReadingAtURL(const QUrl& url);
    static std::unique_ptr<JVResourceFork> resourceForkForWritingAtPath(const QString& path);
    static std::unique_ptr<JVResourceFork> resourceForkForWritingAtURL(const QUrl& url);
    static std::unique_ptr<JVResourceFork> initForPermission(qint8 permission, const QString& path);

    bool isWritable() const;

    bool addData(const QByteArray& data, quint32 type, qint16 resourceId, const QString& name);
    // Under the lowest ID from 128 up that the type does not use.
    bool addData(const QByteArray& data, quint32 type, const QString& name);
    // True also when there is no such resource.
    bool removeType(quint32 type, qint16 resourceId);
    std::optional<QByteArray> dataForType(quint32 type, qint16 resourceId) const;
    // A null name takes ID 0.
    std::optional<QByteArray> dataForType(quint32 type, const QString& named) const;
    QString nameOfResourceType(quint32 type, qint16 resourceId) const;
    bool getId(qint16* resourceId, quint32 type, const QString& named) const;
    bool getAttributeFlags(qint16* flags, quint32 type, qint16 resourceId) const;
    // The changed and purgeable bits (0x22) are kept clear, as the resource service does.
    bool setAttributeFlags(qint16 flags, quint32 type, qint16 resourceId);

    ResourceTypeEnumerator resourceTypeEnumerator() const;
    QList<quint32> everyResourceType() const;
    QList<JVResourceInfo> everyResourceOfType(quint32 type) const;

    std::optional<QByteArray> dataForEntireResourceFork() const;
    // False for empty bytes and for bytes that are no resource fork, which would ruin the file's fork.
    bool writeEntireResourceFork(const QByteArray& data);

private:
    explicit JVResourceFork(std::shared_ptr<JVResourceForkDetail::State> state) : m_state(std::move(state)) {}
    bool store();
    std::shared_ptr<JVResourceForkDetail::State> m_state;
};

// The one-resource helpers on data.
namespace JVResourceForkData {
std::optional<QByteArray> dataWithResourceForkContentsOfFile(const QString& path, quint32 type,
                                                             qint16 resourceId);
std::optional<QByteArray> dataWithResourceForkContentsOfFile(const QString& path, quint32 type,
                                                             const QString& named);
std::optional<QByteArray> dataWithResourceForkContentsOfURL(const QUrl& url, quint32 type, qint16 resourceId);
std::optional<QByteArray> dataWithResourceForkContentsOfURL(const QUrl& url, quint32 type,
                                                            const QString& named);
bool writeToResourceForkFile(const QByteArray& data, const QString& path, quint32 type, qint16 resourceId,
                             const QString& name);
bool writeToResourceForkURL(const QByteArray& data, const QUrl& url, quint32 type, qint16 resourceId,
                            const QString& name);
} // namespace JVResourceForkData

// File references and conversions on paths and URLs.
namespace JVCarbonUtilities {

// A file's identity with the path it was found at; it names the file while that still lies there.
struct FSRef {
    quint64 device = 0;
    quint64 inode = 0;
    QString path;
};
// The older form: the file system, the folder's inode and the name.
struct FSSpec {
    quint64 device = 0;
    quint64 parentInode = 0;
    QString name;
};

QString stringWithFSRef(const FSRef& ref);
bool getFSRef(const QString& path, FSRef* ref);
bool getFSRef(const QUrl& url, FSRef* ref);
bool getFSSpec(const QString& path, FSSpec* spec);
bool getFSSpec(const QUrl& url, FSSpec* spec);
QUrl URLWithFSRef(const FSRef& ref);
QUrl URLByDeletingLastPathComponent(const QUrl& url);

// "/usr/share/a:b" is "usr:share:a/b": ':' separates, a name's own ':' shows as '/'. A folder ends in ':'.
QString fileSystemPathHFSStyle(const QString& path);
QString fileSystemPathHFSStyle(const QUrl& url);
QString pathFromFileSystemPathHFSStyle(const QString& hfsPath);

// A symbolic link stands for the Finder's alias file: the string form gives the receiver when the file
// is none or its target is gone, the URL form an empty URL.
QString resolveAliasFile(const QString& path);
QUrl resolveAliasFile(const QUrl& url);

// Mac Roman; a Pascal string is a length byte and at most 255 bytes.
QString stringWithPascalString(const QByteArray& pascal);
bool getPascalString(const QString& string, char* buffer, int length);
std::optional<QByteArray> pascalString(const QString& string);
QString trimWhitespace(const QString& string);

// Finder information of the file; each out-place may be null. False when nothing exists at the path.
bool finderInfoFlags(const QString& path, quint16* flags, quint32* type, quint32* creator);
bool setFinderInfoFlags(const QString& path, quint16 flags, quint16 mask, quint32 type, quint32 creator);
std::optional<QPointF> finderLocation(const QString& path);
bool setFinderLocation(const QString& path, QPointF location);

} // namespace JVCarbonUtilities
