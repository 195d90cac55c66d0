/* Preloaded into the program being measured, the game or the bare program alike: it times every
 * SDL_RenderPresent on the monotonic clock and, at exit, writes what it saw to PROBE_OUT.
 *
 * It also serves as the scripted player's eyes: when PROBE_EYE names a file, the frame count, the
 * last ball (the 16 x 16 fill) and paddle (the 12-pixel-high fill) rectangles and the blocks
 * (22-pixel-high fills) in the last frame are kept in that file, mapped shared, for the driver to
 * read; the block count of each frame is written out with its time. Nothing the program does is
 * changed. */
#define _GNU_SOURCE
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

/* Ten minutes at 62.5 frames per second, with room to spare. */
enum { maxFrames = 1 << 16 };

/* What the driver reads: frames presented so far, ball x, y, paddle x, width, blocks drawn. */
struct Eye {
    volatile int32_t frames;
    volatile int32_t ballX;
    volatile int32_t ballY;
    volatile int32_t paddleX;
    volatile int32_t paddleW;
    volatile int32_t blocks;
};

static int64_t presents[maxFrames];
static int16_t blocksDrawn[maxFrames];
static int blocksThisFrame;
static int frameCount;
static int64_t firstCpuMicros = -1;
static int64_t lastCpuMicros = -1;
static char rendererName[64] = "unknown";
static struct Eye* eye;
static int eyeOpened;

static int64_t nowNanos(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

/* User plus system time of the whole process, every thread included. */
static int64_t cpuMicros(void)
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return ((int64_t)usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 +
           usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
}

static void openEye(void)
{
    eyeOpened = 1;
    const char* path = getenv("PROBE_EYE");
    if (path == NULL) {
        return;
    }
    int fd = open(path, O_RDWR | O_CREAT, 0600);
    if (fd < 0 || ftruncate(fd, sizeof(struct Eye)) != 0) {
        return;
    }
    void* mapped = mmap(NULL, sizeof(struct Eye), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped != MAP_FAILED) {
        eye = mapped;
    }
}

void SDL_RenderPresent(SDL_Renderer* renderer)
{
    static void (*real)(SDL_Renderer*);
    if (real == NULL) {
        real = (void (*)(SDL_Renderer*))dlsym(RTLD_NEXT, "SDL_RenderPresent");
    }
    real(renderer);
    const int64_t now = nowNanos();
    lastCpuMicros = cpuMicros();
    if (frameCount == 0) {
        firstCpuMicros = lastCpuMicros;
        SDL_RendererInfo info;
        if (SDL_GetRendererInfo(renderer, &info) == 0 && info.name != NULL) {
            snprintf(rendererName, sizeof rendererName, "%s", info.name);
        }
    }
    if (frameCount < maxFrames) {
        presents[frameCount] = now;
        blocksDrawn[frameCount] = (int16_t)blocksThisFrame;
    }
    ++frameCount;
    if (!eyeOpened) {
        openEye();
    }
    if (eye != NULL) {
        eye->blocks = blocksThisFrame;
        eye->frames = frameCount;
    }
    blocksThisFrame = 0;
}

int SDL_RenderFillRect(SDL_Renderer* renderer, const SDL_Rect* rect)
{
    static int (*real)(SDL_Renderer*, const SDL_Rect*);
    if (real == NULL) {
        real = (int (*)(SDL_Renderer*, const SDL_Rect*))dlsym(RTLD_NEXT, "SDL_RenderFillRect");
    }
    if (rect != NULL && rect->h == 22) {
        ++blocksThisFrame;
    }
    if (eye != NULL && rect != NULL) {
        if (rect->w == 16 && rect->h == 16) {
            eye->ballX = rect->x;
            eye->ballY = rect->y;
        } else if (rect->h == 12) {
            eye->paddleX = rect->x;
            eye->paddleW = rect->w;
        }
    }
    return real(renderer, rect);
}

/* Peak resident set in kB, from the kernel's own high-water mark. */
static long peakResidentKb(void)
{
    FILE* status = fopen("/proc/self/status", "r");
    if (status == NULL) {
        return -1;
    }
    char line[256];
    long kb = -1;
    while (fgets(line, sizeof line, status) != NULL) {
        if (strncmp(line, "VmHWM:", 6) == 0) {
            kb = strtol(line + 6, NULL, 10);
        }
    }
    fclose(status);
    return kb;
}

__attribute__((destructor)) static void writeRecord(void)
{
    const char* path = getenv("PROBE_OUT");
    if (path == NULL) {
        return;
    }
    FILE* out = fopen(path, "w");
    if (out == NULL) {
        return;
    }
    fprintf(out, "renderer %s\n", rendererName);
    fprintf(out, "frames %d\n", frameCount);
    fprintf(out, "cpu_first_present_us %lld\n", (long long)firstCpuMicros);
    fprintf(out, "cpu_last_present_us %lld\n", (long long)lastCpuMicros);
    fprintf(out, "cpu_exit_us %lld\n", (long long)cpuMicros());
    fprintf(out, "vmhwm_kb %ld\n", peakResidentKb());
    const int kept = frameCount < maxFrames ? frameCount : maxFrames;
    for (int i = 0; i < kept; ++i) {
        fprintf(out, "present %lld %d\n", (long long)presents[i], blocksDrawn[i]);
    }
    fclose(out);
}
