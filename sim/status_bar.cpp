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

constexpr double scale = 3;   // pixels a point, as on a 3x display
constexpr double width = 414; // points: the large phones' width
constexpr double height = 44; // the height of the phones with two SIMs, which stack a row for each
constexpr double margin = 14;
constexpr double carrierWidth = 130; // the most the host gives an operator name before it truncates
constexpr double gap = 5;
constexpr double wifiWidth = 19; // its widest arc and line
constexpr double simTextWidth = 134;
constexpr const char *shownTime = "9:41"; // fixed, so a picture depends on the state alone

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
// released with it, so nothing of the fonts outlives the drawing.
struct Canvas {
    cairo_t *cr;
    PangoContext *text;
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
    return show(canvas, layOut(canvas, text, size, bold, maxWidth).get(), x, centreY);
}

// Four bars of rising height: full while the host reports a radio, hollow when it reports it dead.
double drawSignal(cairo_t *cr, double x, double centreY, double size, bool dead) {
    double bar = size * 0.22;
    cairo_set_line_width(cr, 0.8);
    for (int i = 0; i < 4; ++i) {
        double h = size * (0.3 + 0.2 * i);
        cairo_rectangle(cr, x + i * bar * 1.5, centreY + size * 0.5 - h, bar, h);
        dead ? cairo_stroke(cr) : cairo_fill(cr);
    }
    return 4 * bar * 1.5;
}

void drawWifi(cairo_t *cr, double x, double centreY) {
    cairo_set_line_width(cr, 1.6);
    for (int i = 1; i <= 3; ++i) {
        cairo_new_path(cr); // not joined to where the text before it ended
        cairo_arc(cr, x + wifiWidth / 2, centreY + 5, 3.2 * i, -2.36, -0.79);
        cairo_stroke(cr);
    }
}

void drawBattery(cairo_t *cr, double right, double centreY) {
    cairo_set_line_width(cr, 1.2);
    cairo_rectangle(cr, right - 27, centreY - 6, 24, 12);
    cairo_stroke(cr);
    cairo_rectangle(cr, right - 25, centreY - 4, 20, 8);
    cairo_rectangle(cr, right - 2.5, centreY - 2.5, 2, 5);
    cairo_fill(cr);
}

} // namespace

void drawStatusBar(const StatusBar &bar, const std::filesystem::path &file) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(width * scale), int(height * scale)));
    Context cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), scale, scale);
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());
    cairo_set_source_rgb(cr.get(), 0, 0, 0);
    FontMap fonts(pango_cairo_font_map_new());
    TextContext text(pango_font_map_create_context(fonts.get()));
    pango_cairo_update_context(cr.get(), text.get());
    Canvas canvas{cr.get(), text.get()};
    double middle = height / 2;

    // The time is centred; what stands left of it gets the space that remains.
    Layout clock = layOut(canvas, shownTime, 16, true, 0);
    double clockLeft = (width - widthOf(clock.get())) / 2;
    show(canvas, clock.get(), clockLeft, middle);

    // Left: a row for each SIM, signal then the operator's name, and the Wi-Fi symbol after them.
    // The second row is the provider's name: a second SIM, or, on one SIM, a name the provider
    // holds that differs from the manager's; none where the host has no provider. A dead radio hollows the
    // bars and says "No Service" before the name, which is still drawn so that the picture shows all the host
    // holds.
    std::vector<const StatusBar::Piece *> rows = {&bar.carrier};
    bool provider = bar.providerCarrier.shown != "absent";
    if (provider && (bar.dualSIM == "on" || bar.providerCarrier.text != bar.carrier.text)) {
        rows.push_back(&bar.providerCarrier);
    }
    bool dead = bar.radio == "dead";
    double size = rows.size() == 1 ? 13 : 11;
    double rightOfRows = margin;
    for (size_t i = 0; i < rows.size(); ++i) {
        double centre = rows.size() == 1 ? middle : middle + (i ? 9 : -9);
        double x = margin + drawSignal(cr.get(), margin, centre, size, dead) + gap;
        if (dead) {
            x += drawText(canvas, "No Service", x, centre, size, false, 0) + gap;
        }
        double room = std::min(carrierWidth, clockLeft - 2 * gap - wifiWidth - x);
        if (rows[i]->text && room > 0) {
            x += drawText(canvas, *rows[i]->text, x, centre, size, false, room);
        }
        rightOfRows = std::max(rightOfRows, x);
    }
    drawWifi(cr.get(), rightOfRows + gap, middle);

    // Right: the SIM-status text, then the battery.
    drawBattery(cr.get(), width - margin, middle);
    if (bar.sim.text) {
        Layout sim = layOut(canvas, *bar.sim.text, 12, false, simTextWidth);
        show(canvas, sim.get(), width - margin - 34 - widthOf(sim.get()), middle);
    }

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
}

} // namespace sim
