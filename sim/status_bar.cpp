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

constexpr double homeButtonHeight = 20; // points: the home-button phones' status bar
constexpr double margin = 6;
constexpr double gap = 4;
constexpr double wifiWidth = 14;
constexpr const char *shownTime = "9:41 AM"; // fixed, so a picture depends on the state alone
constexpr const char *islandTime = "9:41";   // as the phones with a notch show it

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

// What stands at the left of a bar that shows the carrier: a row for each SIM, the other SIM's
// with dual SIM on (its name the provider's), and no signal drawn without a usable card.
struct CarrierRows {
    std::vector<const StatusBar::Piece *> rows;
    bool signal;
    bool dead;
};

CarrierRows carrierRows(const StatusBar &bar) {
    bool ready = bar.simCard == "ready";
    bool dead = bar.radio == "dead";
    CarrierRows made{{&bar.shown}, ready, dead};
    if (bar.dualSIM == "on" && ready && !dead && bar.providerCarrier.shown != "absent") {
        made.rows.push_back(&bar.providerCarrier);
    }
    return made;
}

// Draws the rows from `left`, centred on `middle`, each cut to end by `right`; returns where they end.
double drawCarrier(const Canvas &canvas, const Look &look, const CarrierRows &carrier, double left,
                   double middle, double right, double size) {
    double rowSize = carrier.rows.size() == 1 ? size : size * 2 / 3;
    double end = left;
    for (size_t i = 0; i < carrier.rows.size(); ++i) {
        double centre = carrier.rows.size() == 1 ? middle : middle + (i ? 0.375 : -0.375) * size;
        double x = left;
        if (carrier.signal) {
            x += drawSignal(canvas.cr, look, x, centre, rowSize * 0.8, carrier.dead) + gap;
        }
        if (carrier.rows[i]->text && right - x > 0) {
            x += drawText(canvas, *carrier.rows[i]->text, x, centre, rowSize, false, right - x);
        }
        end = std::max(end, x);
    }
    return end;
}

// A home-button phone's one bar: signal and carrier, Wi-Fi, the time in the middle, the battery.
void drawHomeButtonBar(const Canvas &canvas, const Look &look, const StatusBar &bar, double width) {
    double middle = homeButtonHeight / 2;
    Layout clock = layOut(canvas, shownTime, 12, true, 0);
    double clockLeft = (width - widthOf(clock.get())) / 2;
    show(canvas, clock.get(), clockLeft, middle);
    double end =
        drawCarrier(canvas, look, carrierRows(bar), margin, middle, clockLeft - 2 * gap - wifiWidth, 12);
    drawWifi(canvas.cr, end + gap, middle);
    drawBattery(canvas.cr, width - margin, middle);
}

// The notch or the island, which the bars stand beside, and how wide it is.
struct Cutout {
    double width, height, top;
};

Cutout cutoutOf(const Screen &screen) {
    if (screen.form == Screen::Form::dynamicIsland) {
        return {125, 37, 11};
    }
    return {screen.points * 0.56, 30, 0};
}

// The notch hangs from the top edge, its lower corners round; the island floats, round all over.
void drawCutout(cairo_t *cr, const Cutout &cutout, bool hanging, double width, double top) {
    double left = (width - cutout.width) / 2;
    double radius = std::min(cutout.height / 2, 18.0);
    double y = top + cutout.top;
    cairo_new_path(cr);
    cairo_arc(cr, left + radius, y + cutout.height - radius, radius, 1.5708, 3.1416);
    if (hanging) {
        cairo_line_to(cr, left, y);
        cairo_line_to(cr, left + cutout.width, y);
    } else {
        cairo_arc(cr, left + radius, y + radius, radius, 3.1416, 4.7124);
        cairo_arc(cr, left + cutout.width - radius, y + radius, radius, 4.7124, 6.2832);
    }
    cairo_arc(cr, left + cutout.width - radius, y + cutout.height - radius, radius, 0, 1.5708);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// The battery at `right`, the Wi-Fi symbol before it, and the signal before that where it is drawn.
void drawRightSide(const Canvas &canvas, const Look &look, double right, double middle, bool signal,
                   bool dead) {
    drawBattery(canvas.cr, right, middle);
    double wifiLeft = right - 23 - 2 * gap - wifiWidth;
    drawWifi(canvas.cr, wifiLeft, middle);
    if (signal) {
        double size = 10;
        double width = 4 * size * 0.22 * 1.5; // four bars, as drawSignal lays them
        drawSignal(canvas.cr, look, wifiLeft - gap - width, middle, size, dead);
    }
}

// A phone with a notch or the island: its bar over apps and the home screen, with no carrier, and
// below, labelled, the bar of its lock screen and Control Center, where the carrier stands.
void drawCutoutBars(const Canvas &canvas, const Look &look, const StatusBar &bar, const Screen &screen,
                    double barHeight, double labelHeight) {
    Cutout cutout = cutoutOf(screen);
    bool hanging = screen.form == Screen::Form::notch;
    double ear = (screen.points - cutout.width) / 2;
    double middle = cutout.top + cutout.height / 2;
    double right = screen.points - 2 * margin;

    drawCutout(canvas.cr, cutout, hanging, screen.points, 0);
    Layout clock = layOut(canvas, islandTime, 16, true, 0);
    show(canvas, clock.get(), (ear - widthOf(clock.get())) / 2, middle);
    drawRightSide(canvas, look, right, middle, bar.simCard == "ready", bar.radio == "dead");

    cairo_set_source_rgb(canvas.cr, 0.45, 0.45, 0.45);
    drawText(canvas, "Lock screen and Control Center", 2 * margin, barHeight + labelHeight / 2, 11, false, 0);
    cairo_set_source_rgb(canvas.cr, 0, 0, 0);

    double top = barHeight + labelHeight;
    drawCutout(canvas.cr, cutout, hanging, screen.points, top);
    drawCarrier(canvas, look, carrierRows(bar), 2 * margin, top + middle, ear - gap, 13);
    drawRightSide(canvas, look, right, top + middle, false, false);
}

// Written beside the file and moved over it, so a failed write leaves a file there as it was.
void writePicture(cairo_surface_t *surface, const std::filesystem::path &file) {
    cairo_surface_flush(surface);
    std::filesystem::path partial = file;
    partial += ".partial-" + std::to_string(getpid());
    std::error_code failed;
    if (cairo_surface_write_to_png(surface, partial.c_str()) != CAIRO_STATUS_SUCCESS) {
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

} // namespace

std::vector<std::string> drawStatusBar(const StatusBar &bar, const Screen &screen,
                                       const std::filesystem::path &file) {
    Look look = lookOf(bar.ios);
    bool homeButton = screen.form == Screen::Form::homeButton;
    double width = screen.points ? screen.points : look.width;
    double barHeight = screen.form == Screen::Form::notch ? 44 : 54;
    double labelHeight = 18;
    double height = homeButton ? homeButtonHeight : 2 * barHeight + labelHeight;
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(width * screen.scale),
                                               int(height * screen.scale)));
    Context cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), screen.scale, screen.scale);
    double ink = look.dark && homeButton ? 1 : 0;
    cairo_set_source_rgb(cr.get(), 1 - ink, 1 - ink, 1 - ink);
    cairo_paint(cr.get());
    cairo_set_source_rgb(cr.get(), ink, ink, ink);
    FontMap fonts(pango_cairo_font_map_new());
    TextContext text(pango_font_map_create_context(fonts.get()));
    pango_cairo_update_context(cr.get(), text.get());
    std::vector<std::string> unknownGlyphs;
    Canvas canvas{cr.get(), text.get(), &unknownGlyphs};
    if (homeButton) {
        drawHomeButtonBar(canvas, look, bar, width);
    } else {
        drawCutoutBars(canvas, look, bar, Screen{screen.form, width, screen.scale}, barHeight, labelHeight);
    }
    writePicture(surface.get(), file);
    return unknownGlyphs;
}

} // namespace sim
