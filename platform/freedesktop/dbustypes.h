#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace vornik {

// The structured D-Bus values of the StatusNotifierItem and dbusmenu
// interfaces, in the shapes Qt D-Bus marshals: (iiay), (sa(iiay)ss),
// (ia{sv}av), (ia{sv}), (ias) and (isvu).
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniPixmapList = QList<SniPixmap>;

struct SniToolTip {
    QString iconName;
    SniPixmapList images;
    QString title;
    QString text;
};

// A layout node; each child is a QVariant holding another node.
struct DBusMenuLayoutNode {
    int id = 0;
    QVariantMap properties;
    QVariantList children;
};

struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

struct DBusMenuRemovedProperties {
    int id = 0;
    QStringList names;
};
using DBusMenuRemovedPropertiesList = QList<DBusMenuRemovedProperties>;

struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// Registers the types with Qt D-Bus; safe to call more than once.
void registerFreedesktopDBusTypes();

// The interface through which both exported objects answer for their
// properties.
inline const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// A call's argument as the type it stands for, whether Qt D-Bus has already
// turned it into that type or still holds it marshalled.
template <typename T>
T argumentAs(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

// Answers Get, GetAll and Set of kPropertiesInterface from the values (all
// read-only); false for any other member.
bool answerPropertiesCall(const QDBusMessage& message, const QDBusConnection& connection, const QVariantMap& values);

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& value);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& value);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& value);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& value);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutNode& value);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutNode& value);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& value);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& value);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuRemovedProperties& value);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuRemovedProperties& value);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& value);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& value);

} // namespace vornik

Q_DECLARE_METATYPE(vornik::SniPixmap)
Q_DECLARE_METATYPE(vornik::SniToolTip)
Q_DECLARE_METATYPE(vornik::DBusMenuLayoutNode)
Q_DECLARE_METATYPE(vornik::DBusMenuItemProperties)
Q_DECLARE_METATYPE(vornik::DBusMenuRemovedProperties)
Q_DECLARE_METATYPE(vornik::DBusMenuEvent)
