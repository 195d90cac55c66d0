#!/usr/bin/env python3
"""Checks a screenshot of the game's window (a binary PPM, 620 x 720) for the picture the game
draws at the start of a level: the wall, the paddle, the ball and the status lines.

Usage: check_frame.py SHOT.ppm [--level-one]
       check_frame.py SHOT.ppm --paddle-right-of X   (checks only the paddle)
       check_frame.py SHOT.ppm --ball                (only finds the ball and prints "x y")
Prints the paddle's and the ball's positions; exits 1 with the reasons when something is off.
"""
import sys

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P6" and fields[3] == b"255", "expected an 8-bit binary PPM"
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    return width, height, pixels


class Frame:
    def __init__(self, path):
        self.width, self.height, self.data = read_ppm(path)

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def colours(self, x, y, w, h):
        return {self.at(i, j) for j in range(y, y + h) for i in range(x, x + w)}


def find_ball(frame):
    """The top left corner of a white 16 x 16 square below the wall and above the paddle."""
    for y in range(250, 676 - 15):
        for x in range(0, 620 - 15):
            if frame.at(x, y) == WHITE and frame.colours(x, y, 16, 16) == {WHITE}:
                return x, y
    return None


def main():
    args = sys.argv[1:]
    frame = Frame(args[0])
    problems = []
    if (frame.width, frame.height) != (620, 720):
        print(f"window is {frame.width} x {frame.height}, not 620 x 720")
        return 1

    if "--ball" in args:
        ball = find_ball(frame)
        print(f"{ball[0]} {ball[1]}" if ball else "no ball")
        return 0 if ball else 1

    paddle_only = "--paddle-right-of" in args
    # The wall: 35 cells, each one flat colour that is not black, with black gaps between.
    for c in range(0 if paddle_only else 7):
        for r in range(5):
            x, y = 8 + 88 * c, 74 + 38 * r
            cell = frame.colours(x, y, 72, 22)
            if len(cell) != 1 or BLACK in cell:
                problems.append(f"cell ({c}, {r}) at ({x}, {y}) is not one solid colour")
            if frame.at(x - 1, y + 5) != BLACK or frame.at(x + 72, y + 5) != BLACK:
                problems.append(f"cell ({c}, {r}) spills into its gap")

    # The paddle: a white run 12 rows high on the paddle's rows.
    row = [frame.at(x, 682) == WHITE for x in range(620)]
    paddle = [x for x, white in enumerate(row) if white]
    paddle_x = paddle[0] if paddle else None
    if not paddle or paddle[-1] - paddle[0] + 1 != len(paddle):
        problems.append("no single white paddle on row 682")
    elif frame.colours(paddle_x, 676, len(paddle), 12) != {WHITE}:
        problems.append("paddle is not a white 12-pixel bar at y 676")
    if "--level-one" in args and len(paddle) != 155:
        problems.append(f"paddle is {len(paddle)} wide, not 155")
    if "--paddle-right-of" in args:
        limit = int(args[args.index("--paddle-right-of") + 1])
        if paddle_x is None or paddle_x <= limit:
            problems.append(f"paddle at {paddle_x}, expected right of {limit}")

    if "--paddle-right-of" in args:
        # Play has moved on by then: blocks fall and the score grows, so only the paddle counts.
        print(f"paddle x {paddle_x}")
        for p in problems:
            print(p)
        return 1 if problems else 0

    ball = find_ball(frame)
    if ball is None:
        problems.append("no 16 x 16 white ball between the wall and the paddle")

    # The status lines: white text inside their boxes, nothing white elsewhere in the top band.
    boxes = {"SCORE": (492, 8, 128, 16), "LIVES": (2, 8, 128, 16), "LEVEL": (2, 40, 128, 16)}
    for name, (x, y, w, h) in boxes.items():
        if WHITE not in frame.colours(x, y, w, h):
            problems.append(f"no {name} text in its box")
    for y in range(0, 70):
        for x in range(620):
            inside = any(bx <= x < bx + bw and by <= y < by + bh
                         for bx, by, bw, bh in boxes.values())
            if not inside and frame.at(x, y) == WHITE:
                problems.append(f"white pixel outside the text boxes at ({x}, {y})")
                break

    print(f"paddle x {paddle_x}, ball {ball}")
    for p in problems[:20]:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
