// SPDX-License-Identifier: GPL-3.0-or-later
// Owning handles for GStreamer's objects: elements, pads and buses (object
// references), messages, caps, tag lists, samples and dates, each released by
// its own function, and a bus watch removed when its handle goes.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <utility>

struct gst_object_release {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct gst_message_release {
    void operator()(GstMessage* m) const { gst_message_unref(m); }
};
struct gst_caps_release {
    void operator()(GstCaps* c) const { gst_caps_unref(c); }
};
struct gst_tag_list_release {
    void operator()(GstTagList* t) const { gst_tag_list_unref(t); }
};
struct gst_sample_release {
    void operator()(GstSample* s) const { gst_sample_unref(s); }
};
struct gst_date_time_release {
    void operator()(GstDateTime* d) const { gst_date_time_unref(d); }
};

template <class T> using gst_ptr = std::unique_ptr<T, gst_object_release>;
using gst_message_ptr = std::unique_ptr<GstMessage, gst_message_release>;
using gst_caps_ptr = std::unique_ptr<GstCaps, gst_caps_release>;
using gst_tag_list_ptr = std::unique_ptr<GstTagList, gst_tag_list_release>;
using gst_sample_ptr = std::unique_ptr<GstSample, gst_sample_release>;
using gst_date_time_ptr = std::unique_ptr<GstDateTime, gst_date_time_release>;

// The watch of a bus on the default main context (gst_bus_add_watch): the
// bus's messages reach the callback in the main loop, never in a streaming
// thread. Removed, with the bus reference it holds, when the handle goes.
class gst_bus_watch {
public:
    gst_bus_watch() = default;
    ~gst_bus_watch() { reset(); }
    gst_bus_watch(const gst_bus_watch&) = delete;
    gst_bus_watch& operator=(const gst_bus_watch&) = delete;

    explicit operator bool() const { return id_ != 0; }
    // Watches the bus (after removing any watch of before).
    void start(GstBus* bus, GstBusFunc func, gpointer data)
    {
        reset();
        bus_.reset(GST_BUS(gst_object_ref(bus)));
        id_ = gst_bus_add_watch(bus, func, data);
    }
    void reset()
    {
        if (bus_ && id_ != 0)
            gst_bus_remove_watch(bus_.get());
        id_ = 0;
        bus_.reset();
    }

private:
    gst_ptr<GstBus> bus_;
    guint id_ = 0;
};
