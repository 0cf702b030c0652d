// SPDX-License-Identifier: GPL-3.0-or-later
// Owning handles for GLib's objects: texts and string arrays from g_malloc,
// errors, key files, timers, GObject references and event-source ids, each
// released by its own function.
#pragma once

#include <glib-object.h>
#include <glib.h>

#include <memory>
#include <utility>

struct g_free_release {
    void operator()(void* p) const { g_free(p); }
};
struct g_strv_release {
    void operator()(gchar** v) const { g_strfreev(v); }
};
struct g_error_release {
    void operator()(GError* e) const { g_error_free(e); }
};
struct g_key_file_release {
    void operator()(GKeyFile* k) const { g_key_file_unref(k); }
};
struct g_timer_release {
    void operator()(GTimer* t) const { g_timer_destroy(t); }
};
struct gobject_release {
    void operator()(gpointer object) const { g_object_unref(object); }
};

using g_text = std::unique_ptr<gchar, g_free_release>;
using g_strv = std::unique_ptr<gchar*, g_strv_release>;
using g_error_ptr = std::unique_ptr<GError, g_error_release>;
using key_file_ptr = std::unique_ptr<GKeyFile, g_key_file_release>;
using g_timer_ptr = std::unique_ptr<GTimer, g_timer_release>;
template <class T> using gobject_ptr = std::unique_ptr<T, gobject_release>;

// The id of an event source on the default main context (a timeout), removed
// when the handle goes away. A source that ended itself (its callback
// returned FALSE) is let go with release() instead.
class source_id {
public:
    source_id() = default;
    explicit source_id(guint id)
        : id_(id)
    {
    }
    ~source_id() { reset(); }
    source_id(source_id&& other) noexcept
        : id_(std::exchange(other.id_, 0))
    {
    }
    source_id& operator=(source_id&& other) noexcept
    {
        if (this != &other) {
            reset();
            id_ = std::exchange(other.id_, 0);
        }
        return *this;
    }
    source_id(const source_id&) = delete;
    source_id& operator=(const source_id&) = delete;

    guint get() const { return id_; }
    explicit operator bool() const { return id_ != 0; }
    // Removes the source now (nothing when there is none).
    void reset()
    {
        if (id_ != 0)
            g_source_remove(std::exchange(id_, 0));
    }
    // Forgets the source without removing it: it has ended by itself.
    void release() { id_ = 0; }

private:
    guint id_ = 0;
};
