#include "DesktopBus.hpp"

#include <memory>

namespace sapwell {

namespace {

constexpr int callTimeoutMs = 5000;

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

}  // namespace DesktopBus

NoTrayNotice noTrayNotice(Lang lang) {
    constexpr const char* commands = "sapwell --terminal, sapwell --print-menu, sapwell --dump-chart";
    switch (lang) {
    case Lang::ru:
        return {"Sapwell работает",
                std::string("Этот рабочий стол не показывает значки в области уведомлений. "
                            "Цифры покажут команды ") + commands + "."};
    case Lang::de:
        return {"Sapwell läuft",
                std::string("Diese Arbeitsoberfläche zeigt keine Statussymbole an. "
                            "Die Zahlen zeigen die Befehle ") + commands + "."};
    case Lang::zh:
        return {"Sapwell 正在运行",
                std::string("此桌面不显示托盘指示器。查看数据请使用：") + commands + "。"};
    case Lang::en: break;
    }
    return {"Sapwell is running",
            std::string("This desktop shows no tray indicators. To see the figures, use ") +
                commands + "."};
}

}  // namespace sapwell
