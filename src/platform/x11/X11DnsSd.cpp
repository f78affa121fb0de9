#include "platform/x11/X11DnsSd.h"

#include <avahi-common/alternative.h>
#include <avahi-common/domain.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>

#include <vector>

#include "platform/common/Windows1252.h"

namespace {

// A DNS label holds 63 bytes; a longer name is cut at a character boundary.
std::string FitLabel(std::string name) {
    constexpr size_t kLimit = AVAHI_LABEL_MAX - 1;
    if (name.size() <= kLimit) return name;
    size_t end = kLimit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    name.resize(end);
    return name;
}

// Renames give up after this many collisions in a row.
constexpr int kMaxRenames = 16;

}  // namespace

X11DnsSd::~X11DnsSd() {
    Unload();
}

bool X11DnsSd::Load() {
    if (m_client) return true;
    m_poll = avahi_glib_poll_new(nullptr, G_PRIORITY_DEFAULT);
    if (!m_poll) return false;
    int error = 0;
    m_client = avahi_client_new(avahi_glib_poll_get(m_poll), static_cast<AvahiClientFlags>(0),
                                &X11DnsSd::ClientChanged, this, &error);
    if (!m_client) {
        avahi_glib_poll_free(m_poll);
        m_poll = nullptr;
        return false;
    }
    return true;
}

void X11DnsSd::Unload() {
    Withdraw();
    if (m_client) avahi_client_free(m_client);
    m_client = nullptr;
    if (m_poll) avahi_glib_poll_free(m_poll);
    m_poll = nullptr;
}

void X11DnsSd::Register(const ServiceRecord& record) {
    if (!m_client) return;
    Withdraw();
    m_wanted = true;
    m_record = record;
    // The settings keep the name in the ANSI code page; DNS-SD names are UTF-8. An empty one
    // becomes the host's name, as with Bonjour.
    m_name = FitLabel(Windows1252ToUtf8(record.name));
    if (m_name.empty()) {
        const char* host = avahi_client_get_host_name(m_client);
        m_name = FitLabel(host ? host : "");
    }
    if (avahi_client_get_state(m_client) == AVAHI_CLIENT_S_RUNNING) Publish(m_client);
}

void X11DnsSd::Withdraw() {
    m_wanted = false;
    // Freeing the group takes its records off the network.
    if (m_group) avahi_entry_group_free(m_group);
    m_group = nullptr;
}

void X11DnsSd::TakeAlternativeName() {
    char* next = avahi_alternative_service_name(m_name.c_str());
    if (!next) return;
    m_name = FitLabel(next);
    avahi_free(next);
}

void X11DnsSd::Publish(AvahiClient* client) {
    if (!m_wanted) return;
    if (!m_group) {
        m_group = avahi_entry_group_new(client, &X11DnsSd::GroupChanged, this);
        if (!m_group) return;
    }
    if (!avahi_entry_group_is_empty(m_group)) return;
    const std::vector<uint8_t> txtRecord = PasswordTxtRecord(m_record.passwordEnabled);
    AvahiStringList* txt = nullptr;
    if (avahi_string_list_parse(txtRecord.data(), txtRecord.size(), &txt) < 0) return;
    int result = AVAHI_ERR_COLLISION;
    for (int renames = 0; renames < kMaxRenames && result == AVAHI_ERR_COLLISION; ++renames) {
        result = avahi_entry_group_add_service_strlst(
            m_group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0),
            m_name.c_str(), m_record.type.c_str(), nullptr, nullptr, m_record.port, txt);
        if (result == AVAHI_ERR_COLLISION) TakeAlternativeName();
    }
    avahi_string_list_free(txt);
    if (result >= 0) avahi_entry_group_commit(m_group);
}

// Avahi calls these from inside avahi_client_new and avahi_entry_group_new too, before the
// pointers are stored, so they use the ones they are handed.
void X11DnsSd::ClientChanged(AvahiClient* client, AvahiClientState state, void* data) {
    auto* self = static_cast<X11DnsSd*>(data);
    switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            self->Publish(client);
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The host is being renamed; the service follows once the client runs again.
            if (self->m_group) avahi_entry_group_reset(self->m_group);
            break;
        case AVAHI_CLIENT_FAILURE:
            // The daemon has gone; what was registered went with it.
            if (self->m_group) avahi_entry_group_free(self->m_group);
            self->m_group = nullptr;
            break;
        default:
            break;
    }
}

void X11DnsSd::GroupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state, void* data) {
    auto* self = static_cast<X11DnsSd*>(data);
    if (state == AVAHI_ENTRY_GROUP_ESTABLISHED) {
        if (self->m_onAdvertised) self->m_onAdvertised(self->m_name);
    } else if (state == AVAHI_ENTRY_GROUP_COLLISION) {
        self->TakeAlternativeName();
        avahi_entry_group_reset(group);
        self->Publish(avahi_entry_group_get_client(group));
    }
}
