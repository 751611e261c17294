// Field tables of the event record and its members.
#include "binding/fields.h"

namespace kv {

KV_FIELD_TABLE(ActiveEvent, num<&SDL_ActiveEvent::type>("type"), num<&SDL_ActiveEvent::gain>("gain"),
               num<&SDL_ActiveEvent::state>("state"))

KV_FIELD_TABLE(KeyboardEvent, num<&SDL_KeyboardEvent::type>("type"), num<&SDL_KeyboardEvent::which>("which"),
               num<&SDL_KeyboardEvent::state>("state"), copy<&SDL_KeyboardEvent::keysym, box::Keysym>("keysym"))

KV_FIELD_TABLE(MouseMotionEvent, num<&SDL_MouseMotionEvent::type>("type"),
               num<&SDL_MouseMotionEvent::which>("which"), num<&SDL_MouseMotionEvent::state>("state"),
               num<&SDL_MouseMotionEvent::x>("x"), num<&SDL_MouseMotionEvent::y>("y"),
               num<&SDL_MouseMotionEvent::xrel>("xrel"), num<&SDL_MouseMotionEvent::yrel>("yrel"))

KV_FIELD_TABLE(MouseButtonEvent, num<&SDL_MouseButtonEvent::type>("type"),
               num<&SDL_MouseButtonEvent::which>("which"), num<&SDL_MouseButtonEvent::state>("state"),
               num<&SDL_MouseButtonEvent::button>("button"), num<&SDL_MouseButtonEvent::x>("x"),
               num<&SDL_MouseButtonEvent::y>("y"))

KV_FIELD_TABLE(JoyAxisEvent, num<&SDL_JoyAxisEvent::type>("type"), num<&SDL_JoyAxisEvent::which>("which"),
               num<&SDL_JoyAxisEvent::axis>("axis"), num<&SDL_JoyAxisEvent::value>("value"))

KV_FIELD_TABLE(JoyBallEvent, num<&SDL_JoyBallEvent::type>("type"), num<&SDL_JoyBallEvent::which>("which"),
               num<&SDL_JoyBallEvent::ball>("ball"), num<&SDL_JoyBallEvent::xrel>("xrel"),
               num<&SDL_JoyBallEvent::yrel>("yrel"))

KV_FIELD_TABLE(JoyHatEvent, num<&SDL_JoyHatEvent::type>("type"), num<&SDL_JoyHatEvent::which>("which"),
               num<&SDL_JoyHatEvent::hat>("hat"), num<&SDL_JoyHatEvent::value>("value"))

KV_FIELD_TABLE(JoyButtonEvent, num<&SDL_JoyButtonEvent::type>("type"), num<&SDL_JoyButtonEvent::which>("which"),
               num<&SDL_JoyButtonEvent::state>("state"), num<&SDL_JoyButtonEvent::button>("button"))

KV_FIELD_TABLE(ResizeEvent, num<&SDL_ResizeEvent::type>("type"), num<&SDL_ResizeEvent::w>("w"),
               num<&SDL_ResizeEvent::h>("h"))

KV_FIELD_TABLE(ExposeEvent, num<&SDL_ExposeEvent::type>("type"))

KV_FIELD_TABLE(QuitEvent, num<&SDL_QuitEvent::type>("type"))

KV_FIELD_TABLE(UserEvent, num<&SDL_UserEvent::type>("type"), num<&SDL_UserEvent::code>("code"),
               raw<&SDL_UserEvent::data1>("data1"), raw<&SDL_UserEvent::data2>("data2"))

KV_FIELD_TABLE(SysWMEvent, num<&SDL_SysWMEvent::type>("type"), raw<&SDL_SysWMEvent::msg>("msg"))

// The union members: reading one copies it out whatever the event's type;
// assigning one copies the whole member in, its type byte included.
KV_FIELD_TABLE(Event, num<&SDL_Event::type>("type"), copy<&SDL_Event::active, box::ActiveEvent>("active"),
               copy<&SDL_Event::key, box::KeyboardEvent>("key"),
               copy<&SDL_Event::motion, box::MouseMotionEvent>("motion"),
               copy<&SDL_Event::button, box::MouseButtonEvent>("button"),
               copy<&SDL_Event::jaxis, box::JoyAxisEvent>("jaxis"),
               copy<&SDL_Event::jball, box::JoyBallEvent>("jball"),
               copy<&SDL_Event::jhat, box::JoyHatEvent>("jhat"),
               copy<&SDL_Event::jbutton, box::JoyButtonEvent>("jbutton"),
               copy<&SDL_Event::resize, box::ResizeEvent>("resize"),
               copy<&SDL_Event::expose, box::ExposeEvent>("expose"), copy<&SDL_Event::quit, box::QuitEvent>("quit"),
               copy<&SDL_Event::user, box::UserEvent>("user"), copy<&SDL_Event::syswm, box::SysWMEvent>("syswm"))

KV_FIELD_TABLE(Keysym, num<&SDL_keysym::scancode>("scancode"), num<&SDL_keysym::sym, Uint32>("sym"),
               num<&SDL_keysym::mod, Uint32>("mod"), num<&SDL_keysym::unicode>("unicode"))

}  // namespace kv
