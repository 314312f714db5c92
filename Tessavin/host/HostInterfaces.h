#pragma once

// Services that the desktop host hands to the plug-in through its plug-in container.
// The classes are shared between the host and the plug-in library, so their type
// information is visible across the library boundary for the checked down-cast.

#define TESSAVIN_INTERFACE __attribute__((visibility("default")))

class TESSAVIN_INTERFACE IBaseInterface {
public:
    virtual void Release() = 0;

protected:
    virtual ~IBaseInterface() = default;
};

// Texts by key and module name; null when the host has none.
class TESSAVIN_INTERFACE ILocaleMgrService : public IBaseInterface {
public:
    virtual const wchar_t* GetText(const wchar_t* key, const wchar_t* moduleName, int reserved) = 0;
};

// Host settings. With a null buffer and size 0 GetValue returns the size needed (in
// characters, terminator included); otherwise it fills the buffer and returns the length.
class TESSAVIN_INTERFACE IConfigFileService : public IBaseInterface {
public:
    virtual int GetValue(const wchar_t* section, const wchar_t* key, wchar_t* buffer, int size,
                         int reserved) = 0;
};

class TESSAVIN_INTERFACE IPluginContainer {
public:
    virtual bool QueryHostService(const char* serviceId, int code, IBaseInterface** service) = 0;

protected:
    virtual ~IPluginContainer() = default;
};

extern const char* const kLocaleServiceId;
const int kLocaleServiceCode = 0x4044;
extern const char* const kConfigFileServiceId;
const int kConfigFileServiceCode = 0x4000;

// Asks the container for a service and accepts it only when it is non-null and of the
// requested type; a service of another type is released and counts as absent.
template <class Service>
Service* QueryService(IPluginContainer* container, const char* serviceId, int code) {
    if (!container)
        return nullptr;
    IBaseInterface* base = nullptr;
    if (!container->QueryHostService(serviceId, code, &base) || !base)
        return nullptr;
    Service* service = dynamic_cast<Service*>(base);
    if (!service)
        base->Release();
    return service;
}
