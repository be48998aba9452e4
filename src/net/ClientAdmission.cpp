// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClientAdmission.h"

ClientAdmission::Verdict ClientAdmission::judge(const QHostAddress& peer) const
{
    std::optional<quint64> oldest, oldestOfPeer;
    int waiting = 0, waitingOfPeer = 0;
    for (auto it = clients_.cbegin(); it != clients_.cend(); ++it) {
        if (it->proven)
            continue;
        ++waiting;
        if (!oldest)
            oldest = it.key();
        if (it->peer == peer && ++waitingOfPeer == 1)
            oldestOfPeer = it.key();
    }
    Verdict v;
    // Every program on this machine comes from loopback: they share the cap
    // of all, not one address's.
    if (waitingOfPeer >= caps_.newClientsPerAddress && !peer.isLoopback())
        v = {oldestOfPeer, "makes way for a new client from its address"};
    else if (oldest && (waiting >= caps_.newClients || count() >= caps_.clients))
        v = {oldest, "makes way for a new client"};
    v.admitted = count() - (v.makesWay ? 1 : 0) < caps_.clients;
    return v;
}

quint64 ClientAdmission::add(const QHostAddress& peer)
{
    clients_.insert(++serial_, {peer, false});
    return serial_;
}

void ClientAdmission::prove(quint64 client)
{
    if (auto it = clients_.find(client); it != clients_.end())
        it->proven = true;
}

void ClientAdmission::remove(quint64 client)
{
    clients_.remove(client);
}
