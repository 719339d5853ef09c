// The page's side of the web platform: functions of the page runtime
// (page/runtime.js), reached through the library in bridge.js. Texts are
// UTF-8 pointers into the module's memory; sizes and places are device pixels.
#pragma once
#include <cstdint>

extern "C" {
// The process.
[[noreturn]] void qv_js_exit(int code);  // ends the movie; unwinds every caller
void qv_js_message_box(const char* text, const char* caption, int failure);
// Later turns of the browser's event loop: qv_run_timer(id) after ms,
// qv_deliver_frame(n).
void qv_js_set_timer(int32_t id, int32_t ms);
void qv_js_post_show_frame(int32_t n);
double qv_js_now_ms();
void qv_js_screen(int32_t* width, int32_t* height);

// The player window: a canvas on the page's black screen.
void qv_js_create_window(const char* title, int32_t x, int32_t y, int32_t w, int32_t h,
                         int rounded_top);
void qv_js_show_window();
void qv_js_resize_window(int32_t w, int32_t h);
void qv_js_place_window(int32_t x, int32_t y);
int qv_js_is_foreground();
void qv_js_set_cursor(int wait);
// Text for the page's console, a line at a time.
void qv_js_write_output(const char* text);
// Rows top .. top + rows - 1 of an RGBA picture of w x h pixels at pixels,
// put at (x, y) of the window.
void qv_js_put(const uint8_t* pixels, int32_t w, int32_t h, int32_t x, int32_t y, int32_t top,
               int32_t rows);
// The banner's text: measured, and drawn white on red into a 24-bit canvas.
int32_t qv_js_banner_width(const char* text);
// Returns the rows drawn.
int32_t qv_js_banner_draw(uint8_t* canvas, int32_t x, int32_t y, const char* text);

// The splash window: a canvas of its own.
void qv_js_splash_create(int32_t x, int32_t y, int32_t w, int32_t h);
void qv_js_splash_hide();
void qv_js_splash_fill(int32_t w, int32_t h, uint32_t colour);
int32_t qv_js_splash_text_width(int32_t font_hgt, int32_t quality, const char* text);
void qv_js_splash_text(int32_t x, int32_t y, int32_t font_hgt, int32_t quality, uint32_t colour,
                       int opaque, const char* text);
}
