#pragma once
// What a scene board asks of the book that made it: the end of a board, the high-score entry at
// the end of the catalogue, and the album shown again when the player leaves a board for it.

class IBoardOwner {
public:
    virtual void OnBoardFinished(bool won) = 0;
    virtual void SubmitHighScore() = 0;
    virtual void RebindPages() = 0;

protected:
    ~IBoardOwner() = default;
};
