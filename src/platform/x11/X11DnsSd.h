#pragma once
#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-glib/glib-watch.h>

#include <functional>
#include <string>

#include "platform/DnsSd.h"

// DNS-SD through the Avahi daemon, on GLib's main loop. A name another host already uses is
// replaced by Avahi's next alternative ("Name #2", ...), as Bonjour does.
class X11DnsSd : public IDnsSd {
public:
    X11DnsSd() = default;
    ~X11DnsSd() override;
    X11DnsSd(const X11DnsSd&) = delete;
    X11DnsSd& operator=(const X11DnsSd&) = delete;

    // Connects to the daemon; false when none answers, and the server goes unadvertised.
    bool Load() override;
    bool IsLoaded() const override { return m_client != nullptr; }
    void Unload() override;
    void Register(const ServiceRecord& record) override;
    void Withdraw() override;

    // Told the name each time the daemon has announced the service under it.
    void OnAdvertised(std::function<void(const std::string& name)> callback) {
        m_onAdvertised = std::move(callback);
    }

private:
    static void ClientChanged(AvahiClient* client, AvahiClientState state, void* data);
    static void GroupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state, void* data);
    void Publish(AvahiClient* client);
    void TakeAlternativeName();

    AvahiGLibPoll* m_poll = nullptr;
    AvahiClient* m_client = nullptr;
    AvahiEntryGroup* m_group = nullptr;
    // What is to be advertised while m_wanted; m_name is its instance name in UTF-8, renamed
    // after collisions.
    bool m_wanted = false;
    ServiceRecord m_record;
    std::string m_name;
    std::function<void(const std::string&)> m_onAdvertised;
};
