// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QMap>
#include <optional>

// Who of a server's clients makes way for a newcomer. Every client counts
// against the cap of all; those that have not yet proven themselves (an
// authorised request, a whole command) count against a smaller cap too, and
// beyond loopback against a cap for their address. A client that has shown
// nothing is the one that goes: the oldest of its address when that address
// is over its cap, else the oldest of all when a cap is reached, so that a
// crowd of silent connections never keeps the station's own programs out.
class ClientAdmission {
public:
    struct Caps {
        int clients = 64;
        int newClients = 32;
        int newClientsPerAddress = 16;
    };
    // What a newcomer from an address finds.
    struct Verdict {
        // The client that makes way for it, if one must.
        std::optional<quint64> makesWay;
        const char* why = "";
        // False when every slot is held by a proven client.
        bool admitted = true;
    };

    ClientAdmission() = default;
    explicit ClientAdmission(const Caps& caps) : caps_(caps) {}

    void setCaps(const Caps& caps) { caps_ = caps; }
    const Caps& caps() const { return caps_; }

    // Decides only: the server lets the one named go, then adds the newcomer.
    Verdict judge(const QHostAddress& peer) const;
    // The newcomer's number: the older a client, the lower.
    quint64 add(const QHostAddress& peer);
    void prove(quint64 client);
    void remove(quint64 client);
    void clear() { clients_.clear(); }

    int count() const { return int(clients_.size()); }
    bool contains(quint64 client) const { return clients_.contains(client); }

private:
    struct Client {
        QHostAddress peer;
        bool proven = false;
    };
    Caps caps_;
    QMap<quint64, Client> clients_; // oldest first
    quint64 serial_ = 0;
};
