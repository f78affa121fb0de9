#include "platform/wayland/DesktopApps.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/common/IconBitmap.h"
#include "platform/wayland/IconTheme.h"

namespace {

constexpr size_t kMaxAppId = 255;

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using Owned = std::unique_ptr<T, Unref>;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string LastPart(const std::string& id) {
    const size_t dot = id.rfind('.');
    return dot == std::string::npos ? id : id.substr(dot + 1);
}

std::string FileOf(GDesktopAppInfo* info) {
    const char* file = info ? g_desktop_app_info_get_filename(info) : nullptr;
    return file ? file : "";
}

// Among all applications, the first that the test accepts.
template <typename Test>
std::string FindAmongAll(const Test& accepts) {
    GList* all = g_app_info_get_all();
    std::string found;
    for (GList* item = all; item && found.empty(); item = item->next) {
        if (!G_IS_DESKTOP_APP_INFO(item->data)) continue;
        auto* info = G_DESKTOP_APP_INFO(item->data);
        if (accepts(info)) found = FileOf(info);
    }
    g_list_free_full(all, g_object_unref);
    return found;
}

std::string IconFileOf(GIcon* icon) {
    if (G_IS_FILE_ICON(icon)) {
        char* path = g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon)));
        std::string file = path ? path : "";
        g_free(path);
        return IsIconFileSize(file) ? file : std::string();
    }
    if (!G_IS_THEMED_ICON(icon)) return {};
    for (const char* const* name = g_themed_icon_get_names(G_THEMED_ICON(icon)); name && *name;
         ++name) {
        const std::string file = ThemeIconFile(*name);
        if (!file.empty()) return file;
    }
    return {};
}

// The image at 32 by 32, centred on transparency where its aspect leaves room.
std::vector<uint32_t> PixelsOf(const std::string& file) {
    GError* error = nullptr;
    const Owned<GdkPixbuf> image(
        gdk_pixbuf_new_from_file_at_scale(file.c_str(), kIconSize, kIconSize, TRUE, &error));
    g_clear_error(&error);
    if (!image) return {};
    const int width = std::min(gdk_pixbuf_get_width(image.get()), kIconSize);
    const int height = std::min(gdk_pixbuf_get_height(image.get()), kIconSize);
    const int channels = gdk_pixbuf_get_n_channels(image.get());
    const bool alpha = gdk_pixbuf_get_has_alpha(image.get());
    if (gdk_pixbuf_get_bits_per_sample(image.get()) != 8 || channels < (alpha ? 4 : 3)) return {};
    const int stride = gdk_pixbuf_get_rowstride(image.get());
    const guint8* bytes = gdk_pixbuf_read_pixels(image.get());
    std::vector<uint32_t> pixels(static_cast<size_t>(kIconSize * kIconSize), 0);
    const int left = (kIconSize - width) / 2;
    const int top = (kIconSize - height) / 2;
    for (int y = 0; y < height; ++y) {
        const guint8* row = bytes + static_cast<ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const guint8* p = row + x * channels;
            const uint32_t a = alpha ? p[3] : 0xFF;
            pixels[static_cast<size_t>((top + y) * kIconSize + left + x)] =
                (a << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        }
    }
    return pixels;
}

}  // namespace

std::string DesktopFileOf(const std::string& appId) {
    if (appId.empty() || appId.size() > kMaxAppId || appId.find('/') != std::string::npos)
        return {};
    const Owned<GDesktopAppInfo> exact(g_desktop_app_info_new((appId + ".desktop").c_str()));
    if (exact) return FileOf(exact.get());
    const std::string lower = Lower(appId);
    const std::string last = Lower(LastPart(appId));
    std::string found = FindAmongAll([&](GDesktopAppInfo* info) {
        const char* id = g_app_info_get_id(G_APP_INFO(info));
        if (!id) return false;
        std::string name = Lower(id);
        const std::string suffix = ".desktop";
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            name.resize(name.size() - suffix.size());
        return name == lower || LastPart(name) == last;
    });
    if (!found.empty()) return found;
    return FindAmongAll([&](GDesktopAppInfo* info) {
        const char* wmClass = g_desktop_app_info_get_startup_wm_class(info);
        return wmClass && Lower(wmClass) == lower;
    });
}

std::vector<uint32_t> AppIconPixels(const std::string& desktopFile) {
    const Owned<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(desktopFile.c_str()));
    if (!info) return {};
    GIcon* icon = g_app_info_get_icon(G_APP_INFO(info.get()));
    if (!icon) return {};
    const std::string file = IconFileOf(icon);
    return file.empty() ? std::vector<uint32_t>() : PixelsOf(file);
}

bool LaunchDesktopFile(const std::string& path) {
    const Owned<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(path.c_str()));
    if (!info) return false;
    GError* error = nullptr;
    const bool started = g_app_info_launch(G_APP_INFO(info.get()), nullptr, nullptr, &error);
    g_clear_error(&error);
    return started;
}
