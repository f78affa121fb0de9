#include "platform/wayland/IconTheme.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

namespace {

// An icon file larger than this is not an application icon.
constexpr off_t kMaxIconBytes = 1 << 20;
// The size the icon is sent at.
constexpr int kWanted = 32;
// Inherits chains are short; a longer one is a loop of names or a hostile file.
constexpr size_t kMaxThemes = 12;
constexpr size_t kMaxDirectories = 512;
constexpr char kFallbackTheme[] = "hicolor";
// Where a theme without an index keeps its application icons.
constexpr int kPlainSizes[] = {16, 22, 24, 32, 48, 64, 96, 128, 256, 512};

struct FreeKeyFile {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, FreeKeyFile>;

bool SafeName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::vector<std::string> DataFolders() {
    std::vector<std::string> folders{g_get_user_data_dir()};
    for (const char* const* dir = g_get_system_data_dirs(); *dir; ++dir) folders.push_back(*dir);
    return folders;
}

// Where themes are, in the order they are searched.
std::vector<std::string> IconBases(const std::vector<std::string>& data) {
    std::vector<std::string> bases{data.front() + "/icons",
                                   std::string(g_get_home_dir()) + "/.icons"};
    for (size_t i = 1; i < data.size(); ++i) bases.push_back(data[i] + "/icons");
    return bases;
}

std::string KeyString(GKeyFile* file, const char* group, const char* key) {
    char* value = g_key_file_get_string(file, group, key, nullptr);
    std::string text = value ? value : "";
    g_free(value);
    return text;
}

// The icon theme the user chose; empty when none.
std::string UserThemeName() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE)
               : nullptr;
    std::string name;
    if (schema) {
        if (g_settings_schema_has_key(schema, "icon-theme")) {
            GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
            GVariant* chosen = g_settings_get_user_value(settings, "icon-theme");
            if (chosen && g_variant_is_of_type(chosen, G_VARIANT_TYPE_STRING))
                name = g_variant_get_string(chosen, nullptr);
            if (chosen) g_variant_unref(chosen);
            g_object_unref(settings);
        }
        g_settings_schema_unref(schema);
    }
    if (!name.empty()) return name;
    const KeyFile gtk(g_key_file_new());
    const std::string ini = std::string(g_get_user_config_dir()) + "/gtk-3.0/settings.ini";
    if (g_key_file_load_from_file(gtk.get(), ini.c_str(), G_KEY_FILE_NONE, nullptr))
        name = KeyString(gtk.get(), "Settings", "gtk-icon-theme-name");
    return name;
}

// The theme's index from the first folder that has one; null when none has.
KeyFile ThemeIndex(const std::vector<std::string>& bases, const std::string& theme) {
    for (const std::string& base : bases) {
        KeyFile index(g_key_file_new());
        // Icon themes separate their lists with commas, not GKeyFile's semicolons.
        g_key_file_set_list_separator(index.get(), ',');
        const std::string path = base + "/" + theme + "/index.theme";
        if (IsIconFileSize(path) &&
            g_key_file_load_from_file(index.get(), path.c_str(), G_KEY_FILE_NONE, nullptr))
            return index;
    }
    return nullptr;
}

// How far a folder's icons are from the wanted size: 32 first, scalable next, then larger,
// then smaller ones.
int Distance(int size, const std::string& type, int minSize, int maxSize) {
    if (type == "Scalable" && minSize <= kWanted && kWanted <= maxSize) return 1;
    if (size == kWanted) return 0;
    if (size > kWanted) return 2 + (size - kWanted);
    return 100000 + (kWanted - size);
}

struct Folder {
    std::string path;
    int distance;
};

// The theme's folders of application icons, nearest the wanted size first.
std::vector<Folder> AppFolders(GKeyFile* index) {
    std::vector<Folder> folders;
    if (!index) {
        for (const int size : kPlainSizes) {
            const std::string sized = std::to_string(size) + "x" + std::to_string(size);
            folders.push_back(Folder{sized + "/apps", Distance(size, "Fixed", 0, 0)});
        }
        folders.push_back(Folder{"scalable/apps", Distance(0, "Scalable", 0, INT_MAX)});
    } else {
        gsize count = 0;
        char** names =
            g_key_file_get_string_list(index, "Icon Theme", "Directories", &count, nullptr);
        for (gsize i = 0; names && i < count && i < kMaxDirectories; ++i) {
            const char* name = names[i];
            if (!g_key_file_has_group(index, name)) continue;
            const std::string context = KeyString(index, name, "Context");
            if (!context.empty() && context != "Applications") continue;
            const int scale = g_key_file_get_integer(index, name, "Scale", nullptr);
            if (scale > 1) continue;
            const int size = g_key_file_get_integer(index, name, "Size", nullptr);
            if (size <= 0) continue;
            const std::string type = KeyString(index, name, "Type");
            const int minSize = g_key_file_has_key(index, name, "MinSize", nullptr)
                                    ? g_key_file_get_integer(index, name, "MinSize", nullptr)
                                    : size;
            const int maxSize = g_key_file_has_key(index, name, "MaxSize", nullptr)
                                    ? g_key_file_get_integer(index, name, "MaxSize", nullptr)
                                    : size;
            folders.push_back(Folder{name, Distance(size, type, minSize, maxSize)});
        }
        g_strfreev(names);
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const Folder& a, const Folder& b) { return a.distance < b.distance; });
    return folders;
}

// The theme, what it inherits, breadth first, and hicolor last.
std::vector<std::string> ThemeChain(const std::vector<std::string>& bases) {
    std::vector<std::string> chain;
    const std::string user = UserThemeName();
    if (SafeName(user)) chain.push_back(user);
    for (size_t next = 0; next < chain.size() && chain.size() < kMaxThemes; ++next) {
        const KeyFile index = ThemeIndex(bases, chain[next]);
        if (!index) continue;
        gsize count = 0;
        char** parents =
            g_key_file_get_string_list(index.get(), "Icon Theme", "Inherits", &count, nullptr);
        for (gsize i = 0; parents && i < count && chain.size() < kMaxThemes; ++i) {
            const std::string parent = parents[i];
            if (SafeName(parent) && std::find(chain.begin(), chain.end(), parent) == chain.end())
                chain.push_back(parent);
        }
        g_strfreev(parents);
    }
    chain.erase(std::remove(chain.begin(), chain.end(), kFallbackTheme), chain.end());
    chain.push_back(kFallbackTheme);
    return chain;
}

}  // namespace

bool IsIconFileSize(const std::string& path) {
    struct stat status = {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_size <= kMaxIconBytes;
}

std::string ThemeIconFile(const std::string& name) {
    if (!SafeName(name)) return {};
    const std::vector<std::string> data = DataFolders();
    const std::vector<std::string> bases = IconBases(data);
    for (const std::string& theme : ThemeChain(bases)) {
        const KeyFile index = ThemeIndex(bases, theme);
        for (const Folder& folder : AppFolders(index.get())) {
            for (const std::string& base : bases) {
                for (const char* type : {".png", ".svg"}) {
                    const std::string path =
                        base + "/" + theme + "/" + folder.path + "/" + name + type;
                    if (IsIconFileSize(path)) return path;
                }
            }
        }
    }
    for (const std::string& folder : data) {
        for (const char* type : {".png", ".svg", ".xpm"}) {
            const std::string path = folder + "/pixmaps/" + name + type;
            if (IsIconFileSize(path)) return path;
        }
    }
    return {};
}
