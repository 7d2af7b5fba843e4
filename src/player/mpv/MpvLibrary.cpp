// The libmpv functions the player calls, each forwarding to libmpv opened at the first call.
// Linked, its dependency tree (a few hundred shared objects) was mapped and relocated before
// main, ahead of everything the first frame needs; opened here it loads on first use (the main
// window opens it on a thread of its own after its first frame, MpvLibraryLoader), and a second
// instance that only hands its file over never loads it.
#include "player/mpv/MpvLibrary.h"

#include "core/Log.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace {

struct MpvApi
{
    bool loaded = false;
    decltype(&::mpv_client_api_version) client_api_version = nullptr;
    decltype(&::mpv_error_string) error_string = nullptr;
    decltype(&::mpv_free) free = nullptr;
    decltype(&::mpv_create) create = nullptr;
    decltype(&::mpv_initialize) initialize = nullptr;
    decltype(&::mpv_terminate_destroy) terminate_destroy = nullptr;
    decltype(&::mpv_set_option_string) set_option_string = nullptr;
    decltype(&::mpv_command) command = nullptr;
    decltype(&::mpv_command_ret) command_ret = nullptr;
    decltype(&::mpv_free_node_contents) free_node_contents = nullptr;
    decltype(&::mpv_set_property) set_property = nullptr;
    decltype(&::mpv_set_property_string) set_property_string = nullptr;
    decltype(&::mpv_set_property_async) set_property_async = nullptr;
    decltype(&::mpv_get_property) get_property = nullptr;
    decltype(&::mpv_get_property_async) get_property_async = nullptr;
    decltype(&::mpv_observe_property) observe_property = nullptr;
    decltype(&::mpv_request_log_messages) request_log_messages = nullptr;
    decltype(&::mpv_wait_event) wait_event = nullptr;
    decltype(&::mpv_render_context_create) render_context_create = nullptr;
    decltype(&::mpv_render_context_set_update_callback) render_context_set_update_callback = nullptr;
    decltype(&::mpv_render_context_render) render_context_render = nullptr;
    decltype(&::mpv_render_context_free) render_context_free = nullptr;
};

template <typename F> bool resolve(void *handle, const char *name, F *out)
{
    *out = reinterpret_cast<F>(dlsym(handle, name));
    return *out != nullptr;
}

MpvApi openLibrary()
{
    MpvApi api;
    void *handle = dlopen(TVX_MPV_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *error = dlerror();
        TVX_LOG_ERROR << "[mpv] cannot open" << TVX_MPV_SONAME << ":" << (error ? error : "");
        return api;
    }
    // The library stays open for the life of the process: its threads may outlive any one engine.
    const bool ok =
        resolve(handle, "mpv_client_api_version", &api.client_api_version) &&
        resolve(handle, "mpv_error_string", &api.error_string) && resolve(handle, "mpv_free", &api.free) &&
        resolve(handle, "mpv_create", &api.create) && resolve(handle, "mpv_initialize", &api.initialize) &&
        resolve(handle, "mpv_terminate_destroy", &api.terminate_destroy) &&
        resolve(handle, "mpv_set_option_string", &api.set_option_string) &&
        resolve(handle, "mpv_command", &api.command) &&
        resolve(handle, "mpv_command_ret", &api.command_ret) &&
        resolve(handle, "mpv_free_node_contents", &api.free_node_contents) &&
        resolve(handle, "mpv_set_property", &api.set_property) &&
        resolve(handle, "mpv_set_property_string", &api.set_property_string) &&
        resolve(handle, "mpv_set_property_async", &api.set_property_async) &&
        resolve(handle, "mpv_get_property", &api.get_property) &&
        resolve(handle, "mpv_get_property_async", &api.get_property_async) &&
        resolve(handle, "mpv_observe_property", &api.observe_property) &&
        resolve(handle, "mpv_request_log_messages", &api.request_log_messages) &&
        resolve(handle, "mpv_wait_event", &api.wait_event) &&
        resolve(handle, "mpv_render_context_create", &api.render_context_create) &&
        resolve(handle, "mpv_render_context_set_update_callback", &api.render_context_set_update_callback) &&
        resolve(handle, "mpv_render_context_render", &api.render_context_render) &&
        resolve(handle, "mpv_render_context_free", &api.render_context_free);
    if (!ok) {
        TVX_LOG_ERROR << "[mpv]" << TVX_MPV_SONAME << "lacks a function the player needs";
        return MpvApi();
    }
    api.loaded = true;
    return api;
}

std::once_flag g_once;
MpvApi g_api;
std::atomic<bool> g_openingDone{false};

const MpvApi &api()
{
    std::call_once(g_once, [] {
        g_api = openLibrary();
        g_openingDone.store(true, std::memory_order_release);
    });
    return g_api;
}

} // namespace

bool mpvlib::open()
{
    return api().loaded;
}

bool mpvlib::openingDone()
{
    return g_openingDone.load(std::memory_order_acquire);
}

// Without the library every call fails as libmpv itself reports failure, so the engine's
// own error paths (no handle, negative result) apply.
extern "C" {

unsigned long mpv_client_api_version(void)
{
    return api().loaded ? api().client_api_version() : 0;
}

const char *mpv_error_string(int error)
{
    return api().loaded ? api().error_string(error) : "libmpv not available";
}

void mpv_free(void *data)
{
    if (api().loaded)
        api().free(data);
}

mpv_handle *mpv_create(void)
{
    return api().loaded ? api().create() : nullptr;
}

int mpv_initialize(mpv_handle *ctx)
{
    return api().loaded ? api().initialize(ctx) : MPV_ERROR_UNINITIALIZED;
}

void mpv_terminate_destroy(mpv_handle *ctx)
{
    if (api().loaded)
        api().terminate_destroy(ctx);
}

int mpv_set_option_string(mpv_handle *ctx, const char *name, const char *data)
{
    return api().loaded ? api().set_option_string(ctx, name, data) : MPV_ERROR_UNINITIALIZED;
}

int mpv_command(mpv_handle *ctx, const char **args)
{
    return api().loaded ? api().command(ctx, args) : MPV_ERROR_UNINITIALIZED;
}

int mpv_command_ret(mpv_handle *ctx, const char **args, mpv_node *result)
{
    return api().loaded ? api().command_ret(ctx, args, result) : MPV_ERROR_UNINITIALIZED;
}

void mpv_free_node_contents(mpv_node *node)
{
    if (api().loaded)
        api().free_node_contents(node);
}

int mpv_set_property(mpv_handle *ctx, const char *name, mpv_format format, void *data)
{
    return api().loaded ? api().set_property(ctx, name, format, data) : MPV_ERROR_UNINITIALIZED;
}

int mpv_set_property_string(mpv_handle *ctx, const char *name, const char *data)
{
    return api().loaded ? api().set_property_string(ctx, name, data) : MPV_ERROR_UNINITIALIZED;
}

int mpv_set_property_async(mpv_handle *ctx, uint64_t reply_userdata, const char *name, mpv_format format,
                           void *data)
{
    return api().loaded ? api().set_property_async(ctx, reply_userdata, name, format, data)
                        : MPV_ERROR_UNINITIALIZED;
}

int mpv_get_property(mpv_handle *ctx, const char *name, mpv_format format, void *data)
{
    return api().loaded ? api().get_property(ctx, name, format, data) : MPV_ERROR_UNINITIALIZED;
}

int mpv_get_property_async(mpv_handle *ctx, uint64_t reply_userdata, const char *name, mpv_format format)
{
    return api().loaded ? api().get_property_async(ctx, reply_userdata, name, format)
                        : MPV_ERROR_UNINITIALIZED;
}

int mpv_observe_property(mpv_handle *mpv, uint64_t reply_userdata, const char *name, mpv_format format)
{
    return api().loaded ? api().observe_property(mpv, reply_userdata, name, format) : MPV_ERROR_UNINITIALIZED;
}

int mpv_request_log_messages(mpv_handle *ctx, const char *min_level)
{
    return api().loaded ? api().request_log_messages(ctx, min_level) : MPV_ERROR_UNINITIALIZED;
}

mpv_event *mpv_wait_event(mpv_handle *ctx, double timeout)
{
    static mpv_event none = {MPV_EVENT_NONE, 0, 0, nullptr};
    return api().loaded ? api().wait_event(ctx, timeout) : &none;
}

int mpv_render_context_create(mpv_render_context **res, mpv_handle *mpv, mpv_render_param *params)
{
    return api().loaded ? api().render_context_create(res, mpv, params) : MPV_ERROR_UNINITIALIZED;
}

void mpv_render_context_set_update_callback(mpv_render_context *ctx, mpv_render_update_fn callback,
                                            void *callback_ctx)
{
    if (api().loaded)
        api().render_context_set_update_callback(ctx, callback, callback_ctx);
}

int mpv_render_context_render(mpv_render_context *ctx, mpv_render_param *params)
{
    return api().loaded ? api().render_context_render(ctx, params) : MPV_ERROR_UNINITIALIZED;
}

void mpv_render_context_free(mpv_render_context *ctx)
{
    if (api().loaded)
        api().render_context_free(ctx);
}

} // extern "C"
