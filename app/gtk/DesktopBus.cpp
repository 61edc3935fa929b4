#include "DesktopBus.hpp"

#include <memory>

#include "Format.hpp"

namespace sapwell {

namespace {

constexpr int callTimeoutMs = 5000;

constexpr const char* appName = "io.github.sapwell.Sapwell";
constexpr const char* appPath = "/io/github/sapwell/Sapwell";
constexpr const char* appInterfaceXml =
    "<node><interface name='io.github.sapwell.Sapwell'>"
    "<method name='OpenChart'/>"
    "</interface></node>";

template <typename T>
struct GFree {
    void operator()(T* p) const { g_free(p); }
};
using GString_ = std::unique_ptr<gchar, GFree<gchar>>;

void openFolder(GFile* file) {
    GFile* parent = g_file_get_parent(file);
    if (parent == nullptr) return;
    const GString_ uri(g_file_get_uri(parent));
    g_app_info_launch_default_for_uri_async(uri.get(), nullptr, nullptr, nullptr, nullptr);
    g_object_unref(parent);
}

void onShown(GObject* source, GAsyncResult* result, gpointer data) {
    GFile* file = G_FILE(data);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
    } else {
        g_error_free(error);
        openFolder(file);
    }
    g_object_unref(file);
}

void sendNotice(GDBusConnection* bus, Lang lang, const std::string& iconPath) {
    const NoTrayNotice notice = noTrayNotice(lang);
    g_dbus_connection_call(
        bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "Notify",
        g_variant_new("(susssasa{sv}i)", "Sapwell", 0u, iconPath.c_str(), notice.summary.c_str(),
                      notice.body.c_str(), nullptr, nullptr, -1),
        nullptr, G_DBUS_CALL_FLAGS_NONE, callTimeoutMs, nullptr, nullptr, nullptr);
}

struct NoticeRequest {
    Lang lang;
    std::string iconPath;
};

void onHostAnswer(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<NoticeRequest> request(static_cast<NoticeRequest*>(data));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    bool hostThere = false;
    if (reply != nullptr) {
        GVariant* value = nullptr;
        g_variant_get(reply, "(v)", &value);
        hostThere = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) &&
                    g_variant_get_boolean(value);
        g_variant_unref(value);
        g_variant_unref(reply);
    } else {
        g_error_free(error);  // no watcher: nothing shows the indicator
    }
    if (!hostThere) sendNotice(G_DBUS_CONNECTION(source), request->lang, request->iconPath);
}

}  // namespace

namespace DesktopBus {

void reveal(const std::string& path) {
    // The URI comes from GIO, so spaces and non-ASCII names survive the trip.
    GFile* file = g_file_new_for_path(path.c_str());
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr) {
        openFolder(file);
        g_object_unref(file);
        return;
    }
    const GString_ uri(g_file_get_uri(file));
    const gchar* uris[] = {uri.get(), nullptr};
    g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                           "org.freedesktop.FileManager1", "ShowItems",
                           g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                           callTimeoutMs, nullptr, onShown, file);
    g_object_unref(bus);
}

void noticeIfNoTrayHost(Lang lang, const std::string& iconPath) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr) return;
    g_dbus_connection_call(bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                           "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.kde.StatusNotifierWatcher",
                                         "IsStatusNotifierHostRegistered"),
                           G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs,
                           nullptr, onHostAnswer, new NoticeRequest{lang, iconPath});
    g_object_unref(bus);
}

bool openChartInRunningInstance() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr) return false;
    // Never started by the bus: only an instance already running may answer.
    GVariant* reply = g_dbus_connection_call_sync(
        bus, appName, appPath, appName, "OpenChart", nullptr, nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr, nullptr);
    g_object_unref(bus);
    if (reply == nullptr) return false;
    g_variant_unref(reply);
    return true;
}

}  // namespace DesktopBus

AppBusName::AppBusName(std::function<void()> openChart) : openChart_(std::move(openChart)) {
    owner_ = g_bus_own_name(G_BUS_TYPE_SESSION, appName, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                            onBusAcquired, nullptr, nullptr, this, nullptr);
}

AppBusName::~AppBusName() {
    g_bus_unown_name(owner_);
    if (bus_ != nullptr) {
        if (object_ != 0) g_dbus_connection_unregister_object(bus_, object_);
        g_object_unref(bus_);
    }
}

void AppBusName::onBusAcquired(GDBusConnection* bus, const gchar*, gpointer self) {
    auto* name = static_cast<AppBusName*>(self);
    static GDBusNodeInfo* const info = g_dbus_node_info_new_for_xml(appInterfaceXml, nullptr);
    static const GDBusInterfaceVTable vtable{onCall, nullptr, nullptr, {}};
    if (info == nullptr || name->bus_ != nullptr) return;
    name->bus_ = G_DBUS_CONNECTION(g_object_ref(bus));
    name->object_ = g_dbus_connection_register_object(bus, appPath, info->interfaces[0], &vtable,
                                                      self, nullptr, nullptr);
}

void AppBusName::onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                        const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                        gpointer self) {
    // The reply first: the caller exits on it, whatever opening the chart then takes.
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (std::string_view(method) == "OpenChart") static_cast<AppBusName*>(self)->openChart_();
}

NoTrayNotice noTrayNotice(Lang lang) {
    return {std::string(t(lang, S::noTraySummary)),
            fillIn(t(lang, S::noTrayBody),
                   {{"{c}", "sapwell --terminal, sapwell --print-menu, sapwell --dump-chart"}})};
}

}  // namespace sapwell
