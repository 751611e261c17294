"""The sprite loop of kavro_bench in pygame, driven over stdin/stdout.

Protocol: prints "pygame <version> SDL <version>" once set up (or
"unavailable <reason>" and exits);
then for each line "run <opaque|alpha> <sprites> <frames>" runs that many
frames and prints the thread CPU seconds they took; "quit" ends it.
Positions, pixels and colours are made by the same rules as the C++ side.
"""
import os
import sys
import time

os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
os.environ.setdefault("SDL_AUDIODRIVER", "dummy")
os.environ["PYGAME_HIDE_SUPPORT_PROMPT"] = "1"

WIDTH, HEIGHT, SIZE = 640, 480, 32


def positions(count):
    state = 12345
    out = []
    for _ in range(count):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        x = (state >> 8) % (WIDTH - SIZE + 1)
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        y = (state >> 8) % (HEIGHT - SIZE + 1)
        out.append((x, y))
    return out


def main():
    try:
        import pygame
    except Exception as e:  # no pygame: the runner skips this contender
        print("unavailable", e, flush=True)
        return
    pygame.display.init()
    screen = pygame.display.set_mode((WIDTH, HEIGHT), 0, 32)
    opaque = pygame.Surface((SIZE, SIZE), 0, 32)
    alpha = pygame.Surface((SIZE, SIZE), pygame.SRCALPHA, 32)
    for y in range(SIZE):
        for x in range(SIZE):
            opaque.set_at((x, y), (x * 8, y * 8, 128))
            alpha.set_at((x, y), (255 - x * 8, y * 8, 64, (x + y) * 4 & 255))
    sprites = {"opaque": opaque.convert(), "alpha": alpha.convert_alpha()}
    background = (20, 40, 60)
    where = positions(10000)
    print("pygame", pygame.version.ver, "SDL", ".".join(map(str, pygame.get_sdl_version())), flush=True)

    for line in sys.stdin:
        words = line.split()
        if not words or words[0] == "quit":
            break
        sprite, n, frames = sprites[words[1]], int(words[2]), int(words[3])
        pos = where[:n]
        blit, fill, flip = screen.blit, screen.fill, pygame.display.flip
        t0 = time.thread_time()
        for _ in range(frames):
            fill(background)
            for p in pos:
                blit(sprite, p)
            flip()
        print(time.thread_time() - t0, flush=True)
    pygame.quit()


main()
