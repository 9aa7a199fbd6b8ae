// Compiled, never run, by two ctests: a command named in code must be one of the command set's
// names, or the program does not build. With VELMORA_MISSPELT the compiler must refuse it.
#include "command_defs.h"

#include <initializer_list>

namespace velmora::app {

#ifdef VELMORA_MISSPELT
#define VELMORA_COMMAND "FileSave"  // the command is FileSave1
#define VELMORA_ITEM "Edit Undo"
#else
#define VELMORA_COMMAND "FileSave1"
#define VELMORA_ITEM "EditUndo"
#endif

constexpr TCommandName kName = VELMORA_COMMAND;
constexpr TMenuItem kItem = VELMORA_ITEM;

// As the command units name commands: arguments of calls, lists in loops.
void Use(TCommandName name);
void UseAll() {
    Use(VELMORA_COMMAND);
    for (const TCommandName name :
         std::initializer_list<TCommandName>{"EditUndo", VELMORA_COMMAND}) {
        Use(name);
    }
}
constexpr TMenuItem kSeparator = "-";

static_assert(kName.View() == kItem.Name() || !kItem.IsSeparator());
static_assert(kSeparator.IsSeparator());

}  // namespace velmora::app
