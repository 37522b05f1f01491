// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/DataControl.h"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstring>

namespace {

// The generated opcodes of the wlroots protocol serve both; the standard
// protocol must number its requests the same way.
constexpr std::uint32_t createDataSourceRequest = ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE;
constexpr std::uint32_t getDataDeviceRequest = ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE;
constexpr std::uint32_t destroyManagerRequest = ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY;
constexpr std::uint32_t setSelectionRequest = ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION;
constexpr std::uint32_t destroyDeviceRequest = ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY;
constexpr std::uint32_t offerRequest = ZWLR_DATA_CONTROL_SOURCE_V1_OFFER;
constexpr std::uint32_t destroySourceRequest = ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY;
constexpr std::uint32_t receiveRequest = ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE;
constexpr std::uint32_t destroyOfferRequest = ZWLR_DATA_CONTROL_OFFER_V1_DESTROY;
static_assert(EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE == createDataSourceRequest
    && EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE == getDataDeviceRequest
    && EXT_DATA_CONTROL_MANAGER_V1_DESTROY == destroyManagerRequest
    && EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION == setSelectionRequest
    && EXT_DATA_CONTROL_DEVICE_V1_DESTROY == destroyDeviceRequest
    && EXT_DATA_CONTROL_SOURCE_V1_OFFER == offerRequest
    && EXT_DATA_CONTROL_SOURCE_V1_DESTROY == destroySourceRequest
    && EXT_DATA_CONTROL_OFFER_V1_RECEIVE == receiveRequest
    && EXT_DATA_CONTROL_OFFER_V1_DESTROY == destroyOfferRequest);

std::uint32_t version(wl_proxy *proxy)
{
    return wl_proxy_get_version(proxy);
}

} // namespace

DataControl DataControl::forGlobal(const char *interfaceName)
{
    DataControl control;
    if (std::strcmp(interfaceName, ext_data_control_manager_v1_interface.name) == 0) {
        control.m_manager = &ext_data_control_manager_v1_interface;
        control.m_device = &ext_data_control_device_v1_interface;
        control.m_source = &ext_data_control_source_v1_interface;
        control.m_supportedVersion = 1;
        control.m_rank = 2;
    } else if (std::strcmp(interfaceName, zwlr_data_control_manager_v1_interface.name) == 0) {
        control.m_manager = &zwlr_data_control_manager_v1_interface;
        control.m_device = &zwlr_data_control_device_v1_interface;
        control.m_source = &zwlr_data_control_source_v1_interface;
        // Version 2 adds the primary selection, which is announced but not used.
        control.m_supportedVersion = 2;
        control.m_rank = 1;
    }
    return control;
}

QString DataControl::name() const
{
    return m_manager ? QString::fromLatin1(m_manager->name) : QString();
}

wl_proxy *DataControl::getDataDevice(wl_proxy *manager, wl_seat *seat) const
{
    return wl_proxy_marshal_flags(
        manager, getDataDeviceRequest, m_device, version(manager), 0, nullptr, seat);
}

wl_proxy *DataControl::createDataSource(wl_proxy *manager) const
{
    return wl_proxy_marshal_flags(
        manager, createDataSourceRequest, m_source, version(manager), 0, nullptr);
}

void DataControl::destroyManager(wl_proxy *manager) const
{
    wl_proxy_marshal_flags(
        manager, destroyManagerRequest, nullptr, version(manager), WL_MARSHAL_FLAG_DESTROY);
}

void DataControl::setSelection(wl_proxy *device, wl_proxy *source) const
{
    wl_proxy_marshal_flags(device, setSelectionRequest, nullptr, version(device), 0, source);
}

void DataControl::destroyDevice(wl_proxy *device) const
{
    wl_proxy_marshal_flags(
        device, destroyDeviceRequest, nullptr, version(device), WL_MARSHAL_FLAG_DESTROY);
}

void DataControl::offer(wl_proxy *source, const QString &mimeType) const
{
    wl_proxy_marshal_flags(
        source, offerRequest, nullptr, version(source), 0, mimeType.toUtf8().constData());
}

void DataControl::destroySource(wl_proxy *source) const
{
    wl_proxy_marshal_flags(
        source, destroySourceRequest, nullptr, version(source), WL_MARSHAL_FLAG_DESTROY);
}

void DataControl::receive(wl_proxy *offer, const QString &mimeType, int fd) const
{
    wl_proxy_marshal_flags(
        offer, receiveRequest, nullptr, version(offer), 0, mimeType.toUtf8().constData(), fd);
}

void DataControl::destroyOffer(wl_proxy *offer) const
{
    wl_proxy_marshal_flags(
        offer, destroyOfferRequest, nullptr, version(offer), WL_MARSHAL_FLAG_DESTROY);
}
