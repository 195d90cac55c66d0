#!/usr/bin/env python3
"""Judges a picture of the game's 620 x 720 window, by default as the start of a level: the wall,
the paddle, the ball and the status lines. Prints the paddle's and the ball's positions; exits 1
with the reasons when something is off."""
import argparse
import sys
import time

from PIL import Image, ImageGrab

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
WIDTH, HEIGHT = 620, 720


class Frame:
    def __init__(self, image):
        self.image = image.convert("RGB")
        self.width, self.height = self.image.size
        self.data = self.image.tobytes()

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


def judge(frame, args):
    """The verdict on one picture: the line to print, and the problems found."""
    problems = []
    if (frame.width, frame.height) != (WIDTH, HEIGHT):
        return "", [f"window is {frame.width} x {frame.height}, not {WIDTH} x {HEIGHT}"]

    if args.ball_moved_from:
        ball, start = find_ball(frame), find_ball(Frame(Image.open(args.ball_moved_from)))
        if ball is None or ball == start:
            problems.append(f"the ball has not moved from {start}: {ball}")
        return f"ball from {start} to {ball}", problems

    paddle_only = args.paddle_right_of is not None
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
    if args.level_one and len(paddle) != 155:
        problems.append(f"paddle is {len(paddle)} wide, not 155")
    if paddle_only:
        if paddle_x is None or paddle_x <= args.paddle_right_of:
            problems.append(f"paddle at {paddle_x}, expected right of {args.paddle_right_of}")
        # Play has moved on by then: blocks fall and the score grows, so only the paddle counts.
        return f"paddle x {paddle_x}", problems

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

    return f"paddle x {paddle_x}, ball {ball}", problems


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("shot", nargs="?", help="the picture (PPM, PNG), unless --screen")
    parser.add_argument("--level-one", action="store_true", help="with level 1's paddle")
    parser.add_argument("--paddle-right-of", type=int, metavar="X", help="judges the paddle alone")
    parser.add_argument("--ball-moved-from", metavar="SHOT", help="the ball alone, away from SHOT's")
    parser.add_argument("--screen", metavar="LEFT,TOP", help="cuts the window at LEFT,TOP out of "
                        "the X screen, as a player sees it, again until it passes or --within "
                        "SECONDS are up, and keeps the last one judged as --save SHOT")
    parser.add_argument("--within", type=float, default=0.0, metavar="SECONDS")
    parser.add_argument("--save", metavar="SHOT")
    args = parser.parse_args()
    if args.screen:
        left, top = (int(v) for v in args.screen.split(","))
        deadline = time.monotonic() + args.within
        while True:
            frame = Frame(ImageGrab.grab(bbox=(left, top, left + WIDTH, top + HEIGHT)))
            line, problems = judge(frame, args)
            if not problems or time.monotonic() > deadline:
                break
            time.sleep(0.05)
        frame.image.save(args.save)
    else:
        line, problems = judge(Frame(Image.open(args.shot)), args)
    print(line)
    for p in problems[:20]:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
