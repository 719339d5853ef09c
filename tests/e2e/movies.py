"""Movies for the e2e tests: banded pictures to make them of (t.qvm, a
scripts/qvm_tool.Qvm, makes them), and their boundaries worked out here,
independently of the player."""
from harness import check
from images import Image

MARKER = bytes(range(33, 127))


def movie_offsets(data, appended):
    """The boundaries of a movie as the format lays them out: (FirstFlowByte,
    LastFlowByte, FirstStackByte, StackWid). data is a whole .QVM file or a
    whole player with a movie appended."""
    first = 0
    if appended:
        at = data.find(MARKER)
        check(at >= 0, "the bundle holds no marker line")
        first = at + len(MARKER)
    end = data.find(b"\xff", first)
    check(end >= 0, "the movie holds no end byte")
    return first, end, end + 3, data[end + 1] * 256 + data[end + 2]


def banded(width, height, seed=0):
    """A picture whose rows all differ, with every byte from 40 to 239: its
    stack rows hold no line end, no "$" and no end byte, so no reader can
    take stack bytes for flow text."""
    rows = []
    for y in range(height):
        k = seed * 97 + y * 13
        rows.append([(40 + k % 200, 40 + (k * 7 + x) % 200, 40 + (x * 11 + seed) % 200)
                     for x in range(width)])
    return Image.from_rows(rows)
