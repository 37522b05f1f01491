// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

struct wl_interface;
struct wl_proxy;
struct wl_seat;

// The two clipboard-manager protocols, ext_data_control_v1 and
// zwlr_data_control_v1, have the same requests and events in the same order;
// only the interface names differ. One DataControl names the interfaces of
// the protocol that was bound, and every request goes through it, so the
// rest of the code is written once for both.
class DataControl
{
public:
    // The protocol whose manager the registry announces under this name;
    // invalid for any other global.
    static DataControl forGlobal(const char *interfaceName);

    bool isValid() const { return m_manager != nullptr; }
    const wl_interface *managerInterface() const { return m_manager; }
    // The highest manager version this program speaks.
    std::uint32_t supportedVersion() const { return m_supportedVersion; }
    QString name() const;

    // Requests; each returns the new object where there is one.
    wl_proxy *getDataDevice(wl_proxy *manager, wl_seat *seat) const;
    wl_proxy *createDataSource(wl_proxy *manager) const;
    void destroyManager(wl_proxy *manager) const;
    void setSelection(wl_proxy *device, wl_proxy *source) const;
    void destroyDevice(wl_proxy *device) const;
    void offer(wl_proxy *source, const QString &mimeType) const;
    void destroySource(wl_proxy *source) const;
    void receive(wl_proxy *offer, const QString &mimeType, int fd) const;
    void destroyOffer(wl_proxy *offer) const;

    // Higher is better: the standard protocol wins over the older wlroots
    // one when a compositor offers both; an invalid one ranks lowest.
    int rank() const { return m_rank; }

private:
    const wl_interface *m_manager = nullptr;
    const wl_interface *m_device = nullptr;
    const wl_interface *m_source = nullptr;
    std::uint32_t m_supportedVersion = 0;
    int m_rank = 0;
};
