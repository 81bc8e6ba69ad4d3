#ifndef VORN_IMAGES_H
#define VORN_IMAGES_H

// The images that Vorn Linux installs and loads, in one table.
//
// Every path pattern exists twice: the relative name below the images
// directory (VORN_IMG_*) and the full printf pattern whose first "%s" is the
// images directory (VORN_IMG_*_PATH). They are macros so that the compiler
// checks the arguments of every g_strdup_printf built on them. Loaders take the
// pattern, the kind names and the sizes from here and nowhere else, and
// vorn::images::installedImages() lists what the build renders and installs
// from the same constants.

#include "VornPaths.h"

#include <array>
#include <string>
#include <vector>

// Sub-folders of the images directory.
#define VORN_IMG_DIR_SPLASH "splash"
#define VORN_IMG_DIR_APPICONS "appicons"
#define VORN_IMG_DIR_DIALOGS "dialogs"
#define VORN_IMG_DIR_DEVICES "devices"
#define VORN_IMG_DIR_BURNPROCESS "burnprocess"
#define VORN_IMG_DIR_WAITFORMEDIA "waitformedia"
#define VORN_IMG_DIR_ERASEDISC "erasedisc"
#define VORN_IMG_DIR_DISCTYPES "disctypes"

// The picture behind the splash screen's status line.
#define VORN_IMG_SPLASH VORN_IMG_DIR_SPLASH "/vorn-splash.png"
#define VORN_IMG_SPLASH_PATH "%s/" VORN_IMG_SPLASH

// Window icons: package name, size in pixels.
#define VORN_IMG_APPICON VORN_IMG_DIR_APPICONS "/%s-icon-%d.png"
#define VORN_IMG_APPICON_PATH "%s/" VORN_IMG_APPICON

// Message box icons: the file name (one of VORN_IMG_DIALOG_*).
#define VORN_IMG_DIALOG VORN_IMG_DIR_DIALOGS "/%s"
#define VORN_IMG_DIALOG_PATH "%s/" VORN_IMG_DIALOG
#define VORN_IMG_DIALOG_INFO "vornkit-dialog_box-info_dlg_icon-32.png"
#define VORN_IMG_DIALOG_ERROR "vornkit-dialog_box-error_dlg_icon-32.png"
#define VORN_IMG_DIALOG_QUESTION "vornkit-dialog_box-question_dlg_icon-32.png"
#define VORN_IMG_DIALOG_WARNING "vornkit-dialog_box-warning_dlg_icon-32.png"

// Drive icons: kind, "" or VORN_IMG_LOCKED_SUFFIX, size.
#define VORN_IMG_DEVICE VORN_IMG_DIR_DEVICES "/vornkit-%s%s_icon-%d.png"
#define VORN_IMG_DEVICE_PATH "%s/" VORN_IMG_DEVICE
#define VORN_IMG_LOCKED_SUFFIX "_locked"

// Burn log event icons: event name, size.
#define VORN_IMG_BURN_EVENT VORN_IMG_DIR_BURNPROCESS "/vorn-burnprocess_%s_message_icon-%d.png"
#define VORN_IMG_BURN_EVENT_PATH "%s/" VORN_IMG_BURN_EVENT

// The "Waiting for Disc" dialog's icon: size.
#define VORN_IMG_INSERT_DISC VORN_IMG_DIR_WAITFORMEDIA "/vornkit-insert_disc_icon-%d.png"
#define VORN_IMG_INSERT_DISC_PATH "%s/" VORN_IMG_INSERT_DISC

// Erase dialog medium icons: medium family, size.
#define VORN_IMG_ERASE_DISC VORN_IMG_DIR_ERASEDISC "/vornkit-erase_%s_icon-%d.png"
#define VORN_IMG_ERASE_DISC_PATH "%s/" VORN_IMG_ERASE_DISC

// Disc information icons: disc type name, size.
#define VORN_IMG_DISC_TYPE VORN_IMG_DIR_DISCTYPES "/vornkit-%s_icon-%d.png"
#define VORN_IMG_DISC_TYPE_PATH "%s/" VORN_IMG_DISC_TYPE

namespace vorn::images {

// Splash picture size; the status line is centred on x = 255 with its bottom
// edge at y = 280, on the light band at the bottom of the picture.
inline constexpr int kSplashWidth = 510;
inline constexpr int kSplashHeight = 300;

// Window icon sizes, smallest first.
inline constexpr std::array<int, 7> kAppIconSizes = {16, 24, 32, 48, 64, 128, 256};

// Sizes of the icons chosen by a size index 0 to 3 (drives, erase dialog, disc types).
inline constexpr std::array<int, 4> kIndexedSizes = {16, 24, 32, 48};

inline constexpr int kDialogIconSize = 32;
inline constexpr int kBurnEventIconSize = 16;
inline constexpr int kInsertDiscIconSize = 48;

inline constexpr std::array<const char *, 4> kDialogIcons = {
    VORN_IMG_DIALOG_INFO, VORN_IMG_DIALOG_ERROR, VORN_IMG_DIALOG_QUESTION, VORN_IMG_DIALOG_WARNING};

// Drive kinds: the image recorder, then recorders and readers of each family.
inline constexpr std::array<const char *, 9> kDeviceKinds = {
    "imagerecorder",
    "cdrecorder", "dvdrecorder", "hddvdrecorder", "bdrecorder",
    "cdrom", "dvdrom", "hddvdrom", "bdrom"};

// Burn log events; "empty" is a blank icon for events without one.
inline constexpr std::array<const char *, 7> kBurnEvents = {
    "asterisk", "hand", "exclamation", "question", "file", "copyright", "empty"};

// Medium families of the erase dialog.
inline constexpr std::array<const char *, 4> kEraseFamilies = {"cd", "dvd", "hddvd", "bd"};

// Disc type icons, by what the disc holds and its medium family.
inline constexpr std::array<const char *, 21> kDiscTypes = {
    "unknown_disc", "disc_info",
    "blank_cd", "blank_dvd", "blank_hddvd", "blank_bd",
    "data_cd", "data_dvd", "data_hddvd", "data_bd",
    "audio_cd", "mixed_mode_cd", "cd_extra",
    "multisession_cd", "multisession_dvd", "multisession_hddvd", "multisession_bd",
    "video_cd", "video_dvd", "video_hddvd", "video_bd"};

// One installed image: its name relative to the images directory and the
// pixel size it is drawn at.
struct ImageFile {
    std::string name;
    int width = 0;
    int height = 0;
};

// Every image file the program may load, relative to the images directory.
// `package` is the package name of the window icons.
std::vector<ImageFile> installedImages(const char *package = VORN_PACKAGE_NAME);

}  // namespace vorn::images

#endif
