#include "platform/freedesktop/dbustypes.h"

#include <QDBusMetaType>

namespace vornik {

void registerFreedesktopDBusTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<SniPixmapList>();
        qDBusRegisterMetaType<SniToolTip>();
        qDBusRegisterMetaType<DBusMenuLayoutNode>();
        qDBusRegisterMetaType<DBusMenuItemProperties>();
        qDBusRegisterMetaType<DBusMenuItemPropertiesList>();
        qDBusRegisterMetaType<DBusMenuRemovedProperties>();
        qDBusRegisterMetaType<DBusMenuRemovedPropertiesList>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEventList>();
        return true;
    }();
    (void)registered;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& value)
{
    argument.beginStructure();
    argument << value.width << value.height << value.bytes;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& value)
{
    argument.beginStructure();
    argument >> value.width >> value.height >> value.bytes;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& value)
{
    argument.beginStructure();
    argument << value.iconName << value.images << value.title << value.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& value)
{
    argument.beginStructure();
    argument >> value.iconName >> value.images >> value.title >> value.text;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutNode& value)
{
    argument.beginStructure();
    argument << value.id << value.properties;
    argument.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const QVariant& child : value.children)
        argument << QDBusVariant(child);
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutNode& value)
{
    argument.beginStructure();
    argument >> value.id >> value.properties;
    value.children.clear();
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        const QVariant inner = child.variant();
        if (inner.canConvert<QDBusArgument>())
            value.children.append(QVariant::fromValue(qdbus_cast<DBusMenuLayoutNode>(inner.value<QDBusArgument>())));
        else
            value.children.append(inner);
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& value)
{
    argument.beginStructure();
    argument << value.id << value.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& value)
{
    argument.beginStructure();
    argument >> value.id >> value.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuRemovedProperties& value)
{
    argument.beginStructure();
    argument << value.id << value.names;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuRemovedProperties& value)
{
    argument.beginStructure();
    argument >> value.id >> value.names;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& value)
{
    argument.beginStructure();
    argument << value.id << value.eventId << value.data << value.timestamp;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& value)
{
    argument.beginStructure();
    argument >> value.id >> value.eventId >> value.data >> value.timestamp;
    argument.endStructure();
    return argument;
}

bool answerPropertiesCall(const QDBusMessage& message, const QDBusConnection& connection, const QVariantMap& values)
{
    const QList<QVariant> args = message.arguments();
    if (message.member() == QLatin1String("GetAll") && args.size() == 1) {
        connection.send(message.createReply(QVariant::fromValue(values)));
        return true;
    }
    if (message.member() == QLatin1String("Get") && args.size() == 2) {
        const auto found = values.constFind(args[1].toString());
        if (found == values.constEnd()) {
            connection.send(message.createErrorReply(QDBusError::UnknownProperty,
                                                     QStringLiteral("No property ") + args[1].toString()));
            return true;
        }
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(*found))));
        return true;
    }
    if (message.member() == QLatin1String("Set")) {
        connection.send(message.createErrorReply(QDBusError::PropertyReadOnly, QStringLiteral("Read-only")));
        return true;
    }
    return false;
}

} // namespace vornik
