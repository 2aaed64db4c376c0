// The headless toolkit's message loop, which drains a queue on the window thread, its global
// state and the application window.
#include "toolkit/headless/headless_window.hpp"
#include "toolkit/loop_state.hpp"

namespace kx::headless {

State& state() {
  static State s;
  return s;
}

HeadlessWindow& as_headless(tk::Window& w) {
  return static_cast<HeadlessWindow&>(w);
}

}  // namespace kx::headless

namespace kx::tk {

using headless::state;

void free_application_window() {
  headless::State& st = state();
  if (!st.application) return;
  // The owned forms go with their owner, and their controls with them.
  std::vector<headless::HeadlessWindow*> forms;
  for (headless::HeadlessWindow* w : st.windows)
    if (w->kind() == tk::Kind::Form && w->alive()) forms.push_back(w);
  for (headless::HeadlessWindow* f : forms) f->kill();
  st.application->kill();
  st.application.reset();
  st.main_form = nullptr;
  if (element_thread() == st.queue.get()) set_element_thread(nullptr);
}

Window* application_window() {
  return state().application.get();
}

Window& create_application_window() {
  auto& st = state();
  if (!st.application) {
    st.make_application();
    set_element_thread(st.queue.get());
  }
  return *st.application;
}

void run_message_loop() {
  auto& st = state();
  auto& loop = loop_state();
  loop.running = 1;
  if (!st.application) create_application_window();
  while (!loop.terminated) {
    st.queue->run_one(std::chrono::milliseconds(20));
    st.queue->drain();
    if (loop.idle) loop.idle();
  }
  loop.running = 0;
  free_application_window();
}

void quit() {
  state().queue->post([] { loop_state().terminated = true; });
}

void message_box(std::string_view caption, std::string_view text) {
  state().message_boxes.emplace_back(std::string(caption), std::string(text));
}

}  // namespace kx::tk
