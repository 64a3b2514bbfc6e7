// The game's pointers: the magnifier ("Look") over the field the player searches, the arrow
// ("Arrow") over everything else, both from "Cursors\Cursors.xml" through the renderer.

#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/Instance_Base.h"
#include "engine/graphics/scene/UserInterface.h"
#include "game/app/Game.h"
#include "game/board/Board.h"
#include "game/cards/ConBoard.h"

using namespace QuillEngine;

namespace {

// Whether the topmost movie under the pointer is `field` or lies inside it. A modal dialog over the
// field takes the pointer's events, so the field is then not under it at all.
bool PointerOver(const InstanceHandle& field)
{
    const UserInterface* ui = UserInterface::Instance();
    if (!ui || field.IsEmpty() || ui->HoverList().empty())
        return false;
    InstanceHandle handle = ui->HoverList().front();
    for (int depth = 0; depth < 64; ++depth) {
        if (handle == field)
            return true;
        const Instance_Base* instance = handle.Resolve();
        if (!instance)
            return false;
        handle = instance->GetParent();
    }
    return false;
}

} // namespace

Game::Pointer Game::WantedPointer() const
{
    if (!m_links.customPointers)
        return Pointer::System;
    InstanceHandle field;
    if (!m_paused && GetState() == GameState_Board && m_board && !m_board->IsInactive())
        field = m_board->Scene();
    else if (!m_paused && GetState() == GameState_Concentration && m_conBoard && !m_conBoard->IsInactive())
        field = m_conBoard->BoardInstance();
    return PointerOver(field) ? Pointer::Look : Pointer::Arrow;
}

void Game::UpdatePointer()
{
    CRenderManager* renderer = CRenderManager::Instance();
    if (!renderer)
        return;
    const Pointer wanted = WantedPointer();
    if (wanted == m_pointer && (wanted == Pointer::System || m_pointerRefused || renderer->GetCursor() != 0))
        return;
    m_pointer = wanted;
    m_pointerRefused = false;
    if (wanted == Pointer::System) {
        renderer->LoadCursors(nullptr, false);
        return;
    }
    const String name = wanted == Pointer::Look ? u"Look" : u"Arrow";
    if (!renderer->LoadCursors(&name, true) || renderer->GetCursor() == 0) {
        m_pointerRefused = true;
        renderer->LoadCursors(nullptr, false);
    }
}
