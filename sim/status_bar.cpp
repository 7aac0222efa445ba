#include "sim/status_bar.h"

#include <cairo.h>
#include <pango/pangocairo.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "sim/command_line.h"

namespace sim {
namespace {

constexpr double scale = 2;   // pixels a point, as on the home-button phones' 2x displays
constexpr double height = 20; // points: the home-button phones' status bar
constexpr double margin = 6;
constexpr double gap = 4;
constexpr double wifiWidth = 14;
constexpr const char *shownTime = "9:41 AM"; // fixed, so a picture depends on the state alone

// How a release draws its bar: iOS 6 on the iPhone 5's 320 points, white on black, five rising
// bars; 7 to 10 on 375 points, dark on light, five dots; 11 on, four rising bars.
struct Look {
    double width;
    bool dark;
    enum class Signal { bars5, dots5, bars4 } signal;
};

Look lookOf(int ios) {
    if (ios == 6) {
        return {320, true, Look::Signal::bars5};
    }
    if (ios >= 7 && ios <= 10) {
        return {375, false, Look::Signal::dots5};
    }
    return {375, false, Look::Signal::bars4};
}

template <typename T, void (*Free)(T *)> struct Deleter {
    void operator()(T *p) const { Free(p); }
};
using Surface = std::unique_ptr<cairo_surface_t, Deleter<cairo_surface_t, cairo_surface_destroy>>;
using Context = std::unique_ptr<cairo_t, Deleter<cairo_t, cairo_destroy>>;
template <typename T> void unref(T *object) {
    g_object_unref(object);
}
using Layout = std::unique_ptr<PangoLayout, Deleter<PangoLayout, unref<PangoLayout>>>;
using FontMap = std::unique_ptr<PangoFontMap, Deleter<PangoFontMap, unref<PangoFontMap>>>;
using TextContext = std::unique_ptr<PangoContext, Deleter<PangoContext, unref<PangoContext>>>;

// Where the bar is drawn, and the text layout that goes with it: a font map of the picture's own,
// released with it, so nothing of the fonts outlives the drawing. It notes each text some glyph
// of which no font has.
struct Canvas {
    cairo_t *cr;
    PangoContext *text;
    std::vector<std::string> *unknownGlyphs;
};

// `text` laid out in `size` points, cut with an ellipsis past `maxWidth` (none at 0).
Layout layOut(const Canvas &canvas, const std::string &text, double size, bool bold, double maxWidth) {
    Layout layout(pango_layout_new(canvas.text));
    PangoFontDescription *font = pango_font_description_from_string("DejaVu Sans");
    pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
    pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout.get(), font);
    pango_font_description_free(font);
    pango_layout_set_text(layout.get(), text.c_str(), -1);
    if (maxWidth > 0) {
        pango_layout_set_width(layout.get(), static_cast<int>(maxWidth * PANGO_SCALE));
        pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    }
    return layout;
}

double widthOf(PangoLayout *layout) {
    int w = 0;
    pango_layout_get_size(layout, &w, nullptr);
    return w / double(PANGO_SCALE);
}

// Shows a layout with its left edge at `x`, centred on `centreY`; returns its width.
double show(const Canvas &canvas, PangoLayout *layout, double x, double centreY) {
    int h = 0;
    pango_layout_get_size(layout, nullptr, &h);
    cairo_move_to(canvas.cr, x, centreY - h / 2.0 / PANGO_SCALE);
    pango_cairo_show_layout(canvas.cr, layout);
    return widthOf(layout);
}

double drawText(const Canvas &canvas, const std::string &text, double x, double centreY, double size,
                bool bold, double maxWidth) {
    Layout layout = layOut(canvas, text, size, bold, maxWidth);
    if (pango_layout_get_unknown_glyphs_count(layout.get()) > 0) {
        canvas.unknownGlyphs->push_back(text);
    }
    return show(canvas, layout.get(), x, centreY);
}

// The signal as the release draws it: full while the host reports a radio, hollow while it reports
// it dead; nothing at all without a SIM, as a phone draws none.
double drawSignal(cairo_t *cr, const Look &look, double x, double centreY, double size, bool dead) {
    cairo_set_line_width(cr, 0.7);
    if (look.signal == Look::Signal::dots5) {
        double dot = size * 0.42;
        for (int i = 0; i < 5; ++i) {
            cairo_new_path(cr);
            cairo_arc(cr, x + dot / 2 + i * dot * 1.25, centreY, dot / 2, 0, 6.2832);
            dead ? cairo_stroke(cr) : cairo_fill(cr);
        }
        return 5 * dot * 1.25;
    }
    int count = look.signal == Look::Signal::bars5 ? 5 : 4;
    double bar = size * (count == 5 ? 0.18 : 0.22);
    for (int i = 0; i < count; ++i) {
        double h = size * (0.25 + 0.75 * (i + 1) / count);
        cairo_rectangle(cr, x + i * bar * 1.5, centreY + size * 0.5 - h, bar, h);
        dead ? cairo_stroke(cr) : cairo_fill(cr);
    }
    return count * bar * 1.5;
}

void drawWifi(cairo_t *cr, double x, double centreY) {
    cairo_set_line_width(cr, 1.2);
    for (int i = 1; i <= 3; ++i) {
        cairo_new_path(cr); // not joined to where the text before it ended
        cairo_arc(cr, x + wifiWidth / 2, centreY + 4, 2.4 * i, -2.36, -0.79);
        cairo_stroke(cr);
    }
}

void drawBattery(cairo_t *cr, double right, double centreY) {
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, right - 23, centreY - 5, 20, 10);
    cairo_stroke(cr);
    cairo_rectangle(cr, right - 21.5, centreY - 3.5, 17, 7);
    cairo_rectangle(cr, right - 2.5, centreY - 2, 1.5, 4);
    cairo_fill(cr);
}

} // namespace

std::vector<std::string> drawStatusBar(const StatusBar &bar, const std::filesystem::path &file) {
    Look look = lookOf(bar.ios);
    Surface surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(look.width * scale), int(height * scale)));
    Context cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), scale, scale);
    double ink = look.dark ? 1 : 0;
    cairo_set_source_rgb(cr.get(), 1 - ink, 1 - ink, 1 - ink);
    cairo_paint(cr.get());
    cairo_set_source_rgb(cr.get(), ink, ink, ink);
    FontMap fonts(pango_cairo_font_map_new());
    TextContext text(pango_font_map_create_context(fonts.get()));
    pango_cairo_update_context(cr.get(), text.get());
    std::vector<std::string> unknownGlyphs;
    Canvas canvas{cr.get(), text.get(), &unknownGlyphs};
    double middle = height / 2;

    // The time is centred; what stands left of it gets the space that remains.
    Layout clock = layOut(canvas, shownTime, 12, true, 0);
    double clockLeft = (look.width - widthOf(clock.get())) / 2;
    show(canvas, clock.get(), clockLeft, middle);

    // Left: signal, then what stands in the carrier's place, then Wi-Fi. With dual SIM on, a
    // second, smaller row for the other SIM, which shows the provider's name.
    bool ready = bar.simCard == "ready";
    bool dead = bar.radio == "dead";
    std::vector<const StatusBar::Piece *> rows = {&bar.shown};
    if (bar.dualSIM == "on" && ready && !dead && bar.providerCarrier.shown != "absent") {
        rows.push_back(&bar.providerCarrier);
    }
    double size = rows.size() == 1 ? 12 : 8;
    double rightOfRows = margin;
    for (size_t i = 0; i < rows.size(); ++i) {
        double centre = rows.size() == 1 ? middle : middle + (i ? 4.5 : -4.5);
        double x = margin;
        if (ready) {
            x += drawSignal(cr.get(), look, x, centre, size * 0.8, dead) + gap;
        }
        double room = clockLeft - 2 * gap - wifiWidth - x;
        if (rows[i]->text && room > 0) {
            x += drawText(canvas, *rows[i]->text, x, centre, size, false, room);
        }
        rightOfRows = std::max(rightOfRows, x);
    }
    drawWifi(cr.get(), rightOfRows + gap, middle);
    drawBattery(cr.get(), look.width - margin, middle);

    // Written beside the file and moved over it, so a failed write leaves a file there as it was.
    cairo_surface_flush(surface.get());
    std::filesystem::path partial = file;
    partial += ".partial-" + std::to_string(getpid());
    std::error_code failed;
    if (cairo_surface_write_to_png(surface.get(), partial.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::filesystem::remove(partial, failed);
        throw InputError("cannot write the picture to " + file.string());
    }
    std::filesystem::rename(partial, file, failed);
    if (failed) {
        std::string reason = failed.message();
        std::filesystem::remove(partial, failed);
        throw InputError("cannot write the picture to " + file.string() + ": " + reason);
    }
    return unknownGlyphs;
}

} // namespace sim
