#include "app/desktop_services.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QVariantMap>

namespace pelko {

namespace {

const QString kNotifyService = "org.freedesktop.Notifications";
const QString kNotifyPath = "/org/freedesktop/Notifications";
const QString kUDisks = "org.freedesktop.UDisks2";
// A D-Bus call that has not answered by then is taken as refused.
constexpr int kCallTimeoutMs = 20000;

// UDisks names a block device's object after its kernel name ("sdb1", "mmcblk0p1"), with
// characters outside [A-Za-z0-9] written as _XX.
QString BlockObjectPath(const std::string& device) {
    const std::string name = device.substr(device.rfind('/') + 1);
    QString escaped;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= 'a' && byte <= 'z')) {
            escaped += QChar(byte);
        } else {
            escaped += QString("_%1").arg(byte, 2, 16, QChar('0'));
        }
    }
    return "/org/freedesktop/UDisks2/block_devices/" + escaped;
}

EjectResult Failure(const QDBusError& error) {
    const bool busy = error.name().endsWith(".DeviceBusy");
    return {busy ? EjectOutcome::kBusy : EjectOutcome::kRefused, error.message().toStdString()};
}

}  // namespace

TDesktopNotifier::TDesktopNotifier(QObject* parent) : QObject(parent) {
    QDBusConnection::sessionBus().connect(kNotifyService, kNotifyPath, kNotifyService,
                                          "ActionInvoked", this,
                                          SLOT(OnActionInvoked(uint, QString)));
}

void TDesktopNotifier::Notify(const std::string& summary, const std::string& body,
                              std::function<void()> clicked) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(kNotifyService)) {
        return;
    }
    QDBusInterface service(kNotifyService, kNotifyPath, kNotifyService, bus);
    // "default" is the action of a click on the notification itself.
    const QDBusReply<uint> reply =
        service.call("Notify", QString("PelkoCopy"), uint{0}, QString("pelkocopy"),
                     QString::fromStdString(summary), QString::fromStdString(body),
                     QStringList{"default", QString::fromUtf8("表示")},
                     QVariantMap{{"desktop-entry", QString("pelkocopy")}}, -1);
    if (!reply.isValid()) return;
    last_id_ = reply.value();
    clicked_ = std::move(clicked);
}

void TDesktopNotifier::OnActionInvoked(uint id, const QString& action) {
    if (id == last_id_ && action == "default" && clicked_) clicked_();
}

EjectResult TUDisksEjector::Eject(const std::string& /*mount_point*/, const std::string& device) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || device.empty()) {
        return {EjectOutcome::kRefused, "UDisks2 is not available"};
    }
    const QString block = BlockObjectPath(device);
    QDBusInterface filesystem(kUDisks, block, kUDisks + ".Filesystem", bus);
    filesystem.setTimeout(kCallTimeoutMs);
    const QDBusMessage unmounted = filesystem.call("Unmount", QVariantMap{});
    if (unmounted.type() == QDBusMessage::ErrorMessage) return Failure(QDBusError(unmounted));

    // The drive the block device belongs to: powered off where it can be (a USB reader), else
    // ejected. The volume is already unmounted, so its last writes are safe either way.
    QDBusInterface properties(kUDisks, block, "org.freedesktop.DBus.Properties", bus);
    const QDBusReply<QDBusVariant> drive_reply =
        properties.call("Get", kUDisks + ".Block", QString("Drive"));
    const QString drive =
        drive_reply.isValid() ? drive_reply.value().variant().value<QDBusObjectPath>().path() : "";
    if (drive.isEmpty() || drive == "/") return {EjectOutcome::kEjected, {}};
    QDBusInterface drive_face(kUDisks, drive, kUDisks + ".Drive", bus);
    drive_face.setTimeout(kCallTimeoutMs);
    const bool can_power_off = drive_face.property("CanPowerOff").toBool();
    // A reader that can be neither powered off nor ejected still had the volume unmounted, which
    // is what makes pulling the card safe.
    drive_face.call(can_power_off ? "PowerOff" : "Eject", QVariantMap{});
    return {EjectOutcome::kEjected, {}};
}

std::string EjectFailureTextJa(const EjectResult& result) {
    std::string text = result.outcome == EjectOutcome::kBusy
                           ? "メディアを使用中のプログラムがあるため取り出せません。"
                           : "メディアを取り出せませんでした。";
    if (!result.detail.empty()) text += "\r\n" + result.detail;
    return text;
}

}  // namespace pelko
