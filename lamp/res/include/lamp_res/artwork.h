#pragma once
// The artwork that the build generates into LAMP_RES_DIR (build/bin/res; installed to
// share/lamp): file names, sizes and the cells of each bitmap strip. Cells are numbered from 0,
// left to right. Opaque panel images are drawn on the panel ground RGB(254,254,254); strips have a
// transparent colour that is never used inside the artwork.
//
// Targets: `lamp_res` (this header, with LAMP_RES_DIR and LAMP_RES_INSTALL_DIR defined as the
// build-tree and installed folders) depends on the generated files being there.

namespace lamp_res {

struct Rgb {
  int r;
  int g;
  int b;
};

inline constexpr Rgb kPanelGround{254, 254, 254};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kMagenta{255, 0, 255};

struct Picture {
  const char* file;
  int width;
  int height;
};

// Panel images, opaque. The main window stretches each over its rectangle.
inline constexpr Picture kLogo{"img_logo.bmp", 128, 96};      // badge with a glowing lamp
inline constexpr Picture kName{"img_name.bmp", 384, 96};      // "VELORA" wordmark
inline constexpr Picture kLine{"img_line.bmp", 512, 2};       // separator line
inline constexpr Picture kCursor{"img_cursor.bmp", 20, 20};   // marker under the cursor digit
inline constexpr Picture kPercent{"img_precent.bmp", 32, 60}; // "%" beside a display
inline constexpr Picture kThermometer{"img_thermometer.bmp", 32, 32};
// "img_fan1.bmp" .. "img_fan4.bmp": the fan turning 22.5 degrees clockwise per frame.
inline constexpr Picture kFan[4] = {{"img_fan1.bmp", 32, 32},
                                    {"img_fan2.bmp", 32, 32},
                                    {"img_fan3.bmp", 32, 32},
                                    {"img_fan4.bmp", 32, 32}};

struct Strip {
  const char* file;
  int width;
  int height;
  int cellWidth;
  int cellHeight;
  Rgb transparent;
};

// Lamp buttons: cell 2n = "LAMPn+1" off (dark brown), cell 2n+1 = the same lit (red).
inline constexpr Strip kLampButtons{"bmp_lamps.bmp", 1280, 60, 160, 60, kBlack};
// User buttons, same layout: cell 2n = "USERn+1" off, cell 2n+1 lit.
inline constexpr Strip kUserButtons{"bmp_users.bmp", 1280, 60, 160, 60, kBlack};
// Arrows: cells 0/1 left, 2/3 right, 4/5 up, 6/7 down; even = plain arrow, odd = on an orange
// ground.
inline constexpr Strip kArrows{"bmp_arrows.bmp", 176, 19, 22, 19, kMagenta};
// Command icons: cells 0/1 note with alarm clock (AUTO), 2/3 power plug (ON/OFF), 4/5 circular
// arrows (RESET), 6/7 gear (OPTION); even = colour, odd = grey.
inline constexpr Strip kCommands{"bmp_commands.bmp", 256, 32, 32, 32, kMagenta};
// Read/Write: cells 0/1 Read (chip giving data out), 2/3 Write (data going into the chip);
// even = colour, odd = grey.
inline constexpr Strip kReadWrite{"bmp_read_write.bmp", 128, 32, 32, 32, kMagenta};
// Ok/Cancel: cells 0/1 Ok (check mark), 2/3 Cancel (cross); even = grey, odd = colour (so that
// SetIcons(0, 1) and SetIcons(2, 3) rest in grey like the other push buttons).
inline constexpr Strip kOkCancel{"bmp_ok_cancel.bmp", 128, 32, 32, 32, kMagenta};
// Tool bar of the firmware dialog, 16 colours, in the order of its buttons: open FLASH file,
// open EEPROM file, save FLASH file, save EEPROM file, write program (FLASH), write data
// (EEPROM), read program, read data, erase program, erase data, jump to boot program, jump to
// application program, bootloader lock, exit. FLASH items are blue, EEPROM items green.
inline constexpr Strip kToolBar{"bmp_toolbar.bmp", 224, 16, 16, 16, kMagenta};

// The application icon, with an alpha channel, in two sizes.
inline constexpr Picture kAppIcon{"lamp_icon.png", 256, 256};
inline constexpr Picture kAppIconSmall{"lamp_icon_32.png", 32, 32};

} // namespace lamp_res
