#pragma once
// The script API, one family per source file. Each file is the one place that answers what a
// script can call on that kind of object:
//   InstanceBindings.cpp  methods of every instance table (movie, image and text)
//   MovieBindings.cpp     the movie's own methods, its particle emitters included
//   TextBindings.cpp      the text instance's own methods
//   SoundBindings.cpp     methods of sound objects
//   InputBindings.cpp     the pointer globals
//   AudioBindings.cpp     the sound-playing globals
//   LogBindings.cpp       logging, console and build-kind globals
// Images have no methods of their own: an image table carries the instance methods only.
//
// Every Bind function sets closures in the table it is given and does nothing when that table
// is not a table of a live state.

namespace QuillLua {
class LuaValueRef;
} // namespace QuillLua

namespace QuillEngine {

class LuaMgr;

namespace Bindings {

// Fills the manager's metatables and globals with the whole engine API. The metatables are
// filled own methods first, then the instance methods, which replace an own method of the same
// name. Needs an initialised manager; may be run again (the closures are replaced).
void BindScriptApi(LuaMgr& lua);

void BindInstanceMethods(const QuillLua::LuaValueRef& metaTable);
void BindMovieMethods(const QuillLua::LuaValueRef& metaTable);
void BindTextMethods(const QuillLua::LuaValueRef& metaTable);
void BindSoundMethods(const QuillLua::LuaValueRef& metaTable);
void BindInputGlobals(const QuillLua::LuaValueRef& globals, LuaMgr& lua);
void BindAudioGlobals(const QuillLua::LuaValueRef& globals, LuaMgr& lua);
void BindLogGlobals(const QuillLua::LuaValueRef& globals, LuaMgr& lua);

} // namespace Bindings
} // namespace QuillEngine
