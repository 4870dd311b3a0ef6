/* The least a scanning application on Linux does to save a scan through the
   installed plug-in: load it, find its entry point, and write one page (an
   8-bit grey gradient, 16 x 4 pixels) in one band. Built against the
   installed host binding, through its pkg-config file:

     cc example_host.c $(pkg-config --cflags --libs zeduztiff) \
        -DZEDUZ_PLUGIN="\"$(pkg-config --variable=plugin zeduztiff)\"" -o example_host
     ./example_host /full/path/of/page.tif */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <zeduztiff/zeduztiff.h>

enum { kWidth = 16, kRows = 4 }; /* grey rows are padded to 4 bytes: 16 needs none */

static ZUVadeZoduvFunction entry;
static PluginRequest request;
static TargetFile target;
static ScanImage image;

/* Runs one command; reports a failure and returns 0. */
static int run(int32_t command, const char* name) {
    const uint16_t status = (uint16_t)(entry(command, &request) & 0xFFFF);
    if (status != ZeduzStatusOk) {
        fprintf(stderr, "%s failed with status %u\n", name, (unsigned)status);
    }
    return status == ZeduzStatusOk;
}

static int write_page(void) {
    static uint8_t pixels[kRows][kWidth];
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            pixels[y][x] = (uint8_t)(x * 16 + y);
        }
    }
    image.samplesPerPixel = 1; /* the page's layout, for CmdPreparePage */
    image.bitsPerPixel = 8;
    image.colorKind = ColorGray;
    image.continueFile = 0; /* 1: add the page to the end of the file */
    if (!run(CmdPreparePage, "CmdPreparePage")) return 0;
    image.xResolution = image.yResolution = 300; /* then its size, for CmdBeginPage */
    image.width = kWidth;
    image.rows = kRows;
    if (!run(CmdBeginPage, "CmdBeginPage")) return 0;
    image.rows = kRows; /* each band: its rows and their pixels */
    image.pixels = &pixels[0][0];
    return run(CmdWriteBand, "CmdWriteBand") && run(CmdEndPage, "CmdEndPage");
}

int main(int argc, char** argv) {
    if (argc != 2 || strlen(argv[1]) >= sizeof target.path) {
        fprintf(stderr, "usage: example_host /full/path/of/page.tif\n");
        return 2;
    }
    void* plugin = dlopen(ZEDUZ_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    void* symbol = plugin != NULL ? dlsym(plugin, ZEDUZ_ENTRY_POINT_NAME) : NULL;
    if (symbol == NULL) {
        fprintf(stderr, "cannot load the plug-in %s: %s\n", ZEDUZ_PLUGIN, dlerror());
        return 2;
    }
    memcpy(&entry, &symbol, sizeof entry);

    /* The job's state lives in the plug-in's registry, under a key of the
       application's own; the records stay where they are for the whole job. */
    strcpy(request.stateKey.stateKeyPath, "Software\\ExampleHost\\Job");
    request.stateKey.stateRoot = ZEDUZ_STATE_ROOT_CURRENT_USER;
    request.target = &target;
    target.image = &image;
    strcpy(target.path, argv[1]);

    int written = run(CmdInitialize, "CmdInitialize");
    if (written) {
        printf("%s: %s\n", request.formatName, request.settingsText);
        written = write_page();
    }
    /* The job ends whatever happened: an unfinished page is dropped. */
    written = run(CmdEndJob, "CmdEndJob") && written;
    dlclose(plugin);
    return written ? 0 : 1;
}
