// libmpv's client and render API, defined by the program: each function
// forwards to libmpv's own, found through MpvLibrary on its first call
// (which waits until the library is open). The program does not link
// libmpv, so it starts and runs where libmpv is missing; every function then
// returns its failure value, mpv_create() a null handle first of all, and
// the player reports that it cannot start.
//
// Every function of client.h and render.h is here, so code that calls one
// the program has not used before still links.

#include <mpv/client.h>
#include <mpv/render.h>

#include "player/mpv_library.h"

namespace {

constexpr char kNoLibmpv[] = "libmpv is not installed";
// What mpv_wait_event gives without libmpv: no event.
mpv_event kNoEvent{};

}  // namespace

// Looks up libmpv's `name` once, then calls it with the arguments; without
// it, yields `fallback`.
#define LUMORA_MPV_FORWARD(name, fallback, ...)                                 \
    static const auto real =                                                    \
        reinterpret_cast<decltype(&::name)>(lumora::MpvLibrary::Symbol(#name)); \
    return real != nullptr ? real(__VA_ARGS__) : fallback

extern "C" {

unsigned long mpv_client_api_version(void) {
    LUMORA_MPV_FORWARD(mpv_client_api_version, 0);
}

const char* mpv_error_string(int error) {
    LUMORA_MPV_FORWARD(mpv_error_string, kNoLibmpv, error);
}

void mpv_free(void* data) {
    LUMORA_MPV_FORWARD(mpv_free, void(), data);
}

const char* mpv_client_name(mpv_handle* ctx) {
    LUMORA_MPV_FORWARD(mpv_client_name, nullptr, ctx);
}

int64_t mpv_client_id(mpv_handle* ctx) {
    LUMORA_MPV_FORWARD(mpv_client_id, 0, ctx);
}

mpv_handle* mpv_create(void) {
    LUMORA_MPV_FORWARD(mpv_create, nullptr);
}

int mpv_initialize(mpv_handle* ctx) {
    LUMORA_MPV_FORWARD(mpv_initialize, MPV_ERROR_UNINITIALIZED, ctx);
}

void mpv_destroy(mpv_handle* ctx) {
    LUMORA_MPV_FORWARD(mpv_destroy, void(), ctx);
}

void mpv_terminate_destroy(mpv_handle* ctx) {
    LUMORA_MPV_FORWARD(mpv_terminate_destroy, void(), ctx);
}

mpv_handle* mpv_create_client(mpv_handle* ctx, const char* name) {
    LUMORA_MPV_FORWARD(mpv_create_client, nullptr, ctx, name);
}

mpv_handle* mpv_create_weak_client(mpv_handle* ctx, const char* name) {
    LUMORA_MPV_FORWARD(mpv_create_weak_client, nullptr, ctx, name);
}

int mpv_load_config_file(mpv_handle* ctx, const char* filename) {
    LUMORA_MPV_FORWARD(mpv_load_config_file, MPV_ERROR_UNINITIALIZED, ctx, filename);
}

int64_t mpv_get_time_us(mpv_handle* ctx) {
    LUMORA_MPV_FORWARD(mpv_get_time_us, 0, ctx);
}

void mpv_free_node_contents(mpv_node* node) {
    LUMORA_MPV_FORWARD(mpv_free_node_contents, void(), node);
}

int mpv_set_option(mpv_handle* ctx, const char* name, mpv_format format, void* data) {
    LUMORA_MPV_FORWARD(mpv_set_option, MPV_ERROR_UNINITIALIZED, ctx, name, format, data);
}

int mpv_set_option_string(mpv_handle* ctx, const char* name, const char* data) {
    LUMORA_MPV_FORWARD(mpv_set_option_string, MPV_ERROR_UNINITIALIZED, ctx, name, data);
}

int mpv_command(mpv_handle* ctx, const char** args) {
    LUMORA_MPV_FORWARD(mpv_command, MPV_ERROR_UNINITIALIZED, ctx, args);
}

int mpv_command_node(mpv_handle* ctx, mpv_node* args, mpv_node* result) {
    LUMORA_MPV_FORWARD(mpv_command_node, MPV_ERROR_UNINITIALIZED, ctx, args, result);
}

int mpv_command_ret(mpv_handle* ctx, const char** args, mpv_node* result) {
    LUMORA_MPV_FORWARD(mpv_command_ret, MPV_ERROR_UNINITIALIZED, ctx, args, result);
}

int mpv_command_string(mpv_handle* ctx, const char* args) {
    LUMORA_MPV_FORWARD(mpv_command_string, MPV_ERROR_UNINITIALIZED, ctx, args);
}

int mpv_command_async(mpv_handle* ctx, uint64_t reply_userdata, const char** args) {
    LUMORA_MPV_FORWARD(mpv_command_async, MPV_ERROR_UNINITIALIZED, ctx, reply_userdata, args);
}

int mpv_command_node_async(mpv_handle* ctx, uint64_t reply_userdata, mpv_node* args) {
    LUMORA_MPV_FORWARD(mpv_command_node_async, MPV_ERROR_UNINITIALIZED, ctx, reply_userdata, args);
}

void mpv_abort_async_command(mpv_handle* ctx, uint64_t reply_userdata) {
    LUMORA_MPV_FORWARD(mpv_abort_async_command, void(), ctx, reply_userdata);
}

int mpv_set_property(mpv_handle* ctx, const char* name, mpv_format format, void* data) {
    LUMORA_MPV_FORWARD(mpv_set_property, MPV_ERROR_UNINITIALIZED, ctx, name, format, data);
}

int mpv_set_property_string(mpv_handle* ctx, const char* name, const char* data) {
    LUMORA_MPV_FORWARD(mpv_set_property_string, MPV_ERROR_UNINITIALIZED, ctx, name, data);
}

int mpv_set_property_async(mpv_handle* ctx, uint64_t reply_userdata, const char* name,
                           mpv_format format, void* data) {
    LUMORA_MPV_FORWARD(mpv_set_property_async, MPV_ERROR_UNINITIALIZED, ctx, reply_userdata, name,
                       format, data);
}

int mpv_get_property(mpv_handle* ctx, const char* name, mpv_format format, void* data) {
    LUMORA_MPV_FORWARD(mpv_get_property, MPV_ERROR_UNINITIALIZED, ctx, name, format, data);
}

char* mpv_get_property_string(mpv_handle* ctx, const char* name) {
    LUMORA_MPV_FORWARD(mpv_get_property_string, nullptr, ctx, name);
}

char* mpv_get_property_osd_string(mpv_handle* ctx, const char* name) {
    LUMORA_MPV_FORWARD(mpv_get_property_osd_string, nullptr, ctx, name);
}

int mpv_get_property_async(mpv_handle* ctx, uint64_t reply_userdata, const char* name,
                           mpv_format format) {
    LUMORA_MPV_FORWARD(mpv_get_property_async, MPV_ERROR_UNINITIALIZED, ctx, reply_userdata, name,
                       format);
}

int mpv_observe_property(mpv_handle* mpv, uint64_t reply_userdata, const char* name,
                         mpv_format format) {
    LUMORA_MPV_FORWARD(mpv_observe_property, MPV_ERROR_UNINITIALIZED, mpv, reply_userdata, name,
                       format);
}

int mpv_unobserve_property(mpv_handle* mpv, uint64_t registered_reply_userdata) {
    LUMORA_MPV_FORWARD(mpv_unobserve_property, MPV_ERROR_UNINITIALIZED, mpv,
                       registered_reply_userdata);
}

const char* mpv_event_name(mpv_event_id event) {
    LUMORA_MPV_FORWARD(mpv_event_name, nullptr, event);
}

int mpv_event_to_node(mpv_node* dst, mpv_event* src) {
    LUMORA_MPV_FORWARD(mpv_event_to_node, MPV_ERROR_UNINITIALIZED, dst, src);
}

int mpv_request_event(mpv_handle* ctx, mpv_event_id event, int enable) {
    LUMORA_MPV_FORWARD(mpv_request_event, MPV_ERROR_UNINITIALIZED, ctx, event, enable);
}

int mpv_request_log_messages(mpv_handle* ctx, const char* min_level) {
    LUMORA_MPV_FORWARD(mpv_request_log_messages, MPV_ERROR_UNINITIALIZED, ctx, min_level);
}

mpv_event* mpv_wait_event(mpv_handle* ctx, double timeout) {
    LUMORA_MPV_FORWARD(mpv_wait_event, &kNoEvent, ctx, timeout);
}

void mpv_wakeup(mpv_handle* ctx) {
    LUMORA_MPV_FORWARD(mpv_wakeup, void(), ctx);
}

void mpv_set_wakeup_callback(mpv_handle* ctx, void (*cb)(void* d), void* d) {
    LUMORA_MPV_FORWARD(mpv_set_wakeup_callback, void(), ctx, cb, d);
}

void mpv_wait_async_requests(mpv_handle* ctx) {
    LUMORA_MPV_FORWARD(mpv_wait_async_requests, void(), ctx);
}

int mpv_hook_add(mpv_handle* ctx, uint64_t reply_userdata, const char* name, int priority) {
    LUMORA_MPV_FORWARD(mpv_hook_add, MPV_ERROR_UNINITIALIZED, ctx, reply_userdata, name, priority);
}

int mpv_hook_continue(mpv_handle* ctx, uint64_t id) {
    LUMORA_MPV_FORWARD(mpv_hook_continue, MPV_ERROR_UNINITIALIZED, ctx, id);
}

int mpv_get_wakeup_pipe(mpv_handle* ctx) {
    LUMORA_MPV_FORWARD(mpv_get_wakeup_pipe, MPV_ERROR_UNINITIALIZED, ctx);
}

int mpv_render_context_create(mpv_render_context** res, mpv_handle* mpv, mpv_render_param* params) {
    LUMORA_MPV_FORWARD(mpv_render_context_create, MPV_ERROR_UNINITIALIZED, res, mpv, params);
}

int mpv_render_context_set_parameter(mpv_render_context* ctx, mpv_render_param param) {
    LUMORA_MPV_FORWARD(mpv_render_context_set_parameter, MPV_ERROR_UNINITIALIZED, ctx, param);
}

int mpv_render_context_get_info(mpv_render_context* ctx, mpv_render_param param) {
    LUMORA_MPV_FORWARD(mpv_render_context_get_info, MPV_ERROR_UNINITIALIZED, ctx, param);
}

void mpv_render_context_set_update_callback(mpv_render_context* ctx, mpv_render_update_fn callback,
                                            void* callback_ctx) {
    LUMORA_MPV_FORWARD(mpv_render_context_set_update_callback, void(), ctx, callback, callback_ctx);
}

uint64_t mpv_render_context_update(mpv_render_context* ctx) {
    LUMORA_MPV_FORWARD(mpv_render_context_update, 0, ctx);
}

int mpv_render_context_render(mpv_render_context* ctx, mpv_render_param* params) {
    LUMORA_MPV_FORWARD(mpv_render_context_render, MPV_ERROR_UNINITIALIZED, ctx, params);
}

void mpv_render_context_report_swap(mpv_render_context* ctx) {
    LUMORA_MPV_FORWARD(mpv_render_context_report_swap, void(), ctx);
}

void mpv_render_context_free(mpv_render_context* ctx) {
    LUMORA_MPV_FORWARD(mpv_render_context_free, void(), ctx);
}

}  // extern "C"
