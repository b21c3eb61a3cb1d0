#include "client/present/portal_defs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "client/core/config_file.h"
#include "client/core/error_log.h"

namespace present {

namespace {

constexpr int kCellUnits = 64;
constexpr int64_t kGridUnits = 128 * kCellUnits;
constexpr size_t kValueSize = 255;

void SectionName(char* out, size_t size, const char* kind, int index) {
    std::snprintf(out, size, index < 100 ? "%s%02d" : "%s%03d", kind, index);
}

int FirstLower(const char* text) { return std::tolower(static_cast<unsigned char>(text[0])); }

class Reader {
public:
    Reader(const char* file, const char* section) : file_(file), section_(section) {}

    bool Number(const char* key, int32_t* out, int fallback = 0) {
        int value = 0;
        int present = GetConfigInt(file_, section_, key, &value, fallback, 0);
        *out = value;
        return present != 0;
    }
    bool Text(const char* key, char* out) { return GetConfigString(file_, section_, key, out, kValueSize, "", 0) != 0; }
    // A room number, or 65535 for a word beginning with s.
    bool Room(const char* key, int32_t* out) {
        char value[kValueSize + 1] = {};
        if (!Text(key, value))
            return false;
        *out = FirstLower(value) == 's' ? kOutsideRoomNumber : std::atoi(value);
        return true;
    }

private:
    const char* file_;
    const char* section_;
};

bool OnGrid(int32_t cell) { return cell >= 0 && cell < 128; }

void ReadRoom(const char* file, int r, RoomDef& room) {
    char section[16];
    SectionName(section, sizeof section, "room", r);
    Reader read(file, section);
    if (!read.Number("minx", &room.minx) || !read.Number("maxx", &room.maxx) || !read.Number("miny", &room.miny) ||
        !read.Number("maxy", &room.maxy) || !read.Number("minz", &room.minz) || !read.Number("maxz", &room.maxz))
        return;
    // A room off the grid or inside out could only confuse the lookups.
    if (!OnGrid(room.minx) || !OnGrid(room.maxx) || !OnGrid(room.miny) || !OnGrid(room.maxy) ||
        room.minx > room.maxx || room.miny > room.maxy)
        return;
    room.valid = 1;
    ErrorLogWrite("Room #%d Initialized.\n", r);
}

bool InGrid(int64_t units) { return units >= 0 && units <= kGridUnits; }

void ReadPortal(const char* file, int p, PortalDef& portal) {
    char section[16];
    SectionName(section, sizeof section, "portal", p);
    Reader read(file, section);
    char dir[kValueSize + 1] = {};
    if (!read.Number("x1", &portal.x1) || !read.Number("y1", &portal.y1) || !read.Number("z1", &portal.z1) ||
        !read.Room("room1", &portal.room1) || !read.Room("room2", &portal.room2) || !read.Text("dir", dir))
        return;
    const int letter = FirstLower(dir);
    portal.dir = letter == 'y' ? 1 : letter == 'z' ? 2 : 0;
    // Corners in game units, kept wide until they are known to lie on the grid.
    int64_t x1, y1, x2, y2;
    if (portal.dir == 2) {
        if (!read.Number("x2", &portal.x2) || !read.Number("y2", &portal.y2))
            return;
        x1 = int64_t{portal.x1} * kCellUnits;
        x2 = (int64_t{portal.x2} + 1) * kCellUnits;
        y1 = int64_t{portal.y1} * kCellUnits;
        y2 = (int64_t{portal.y2} + 1) * kCellUnits;
    } else {
        int32_t len = 1;
        if (!read.Number("z2", &portal.z2) || !read.Number("len", &len, 1))
            return;
        if (portal.dir == 0) {
            x2 = int64_t{portal.x1} * kCellUnits;
            x1 = (int64_t{portal.x1} + len) * kCellUnits;
            y1 = y2 = int64_t{portal.y1} * kCellUnits;
        } else {
            y2 = (int64_t{portal.y1} + len) * kCellUnits;
            y1 = int64_t{portal.y1} * kCellUnits;
            x1 = x2 = int64_t{portal.x1} * kCellUnits;
        }
    }
    if (!InGrid(x1) || !InGrid(y1) || !InGrid(x2) || !InGrid(y2))
        return;
    portal.x1 = static_cast<int32_t>(x1);
    portal.y1 = static_cast<int32_t>(y1);
    portal.x2 = static_cast<int32_t>(x2);
    portal.y2 = static_cast<int32_t>(y2);
    if (portal.dir == 2)
        portal.z2 = portal.z1;
    portal.valid = 1;
    ErrorLogWrite("Portal #%d (%d->%d): %d,%d to %d,%d\n", p, portal.room1, portal.room2, portal.x1, portal.y1,
                  portal.x2, portal.y2);
}

}  // namespace

int LoadRoomsAndPortals(const char* levelDir, RoomPortalDefs* defs) {
    if (!levelDir || !defs)
        return 1;
    char file[512];
    std::snprintf(file, sizeof file, "%s/portal.dat", levelDir);
    Reader main(file, "main");

    char text[kValueSize + 1] = {};
    main.Text("portals", text);
    defs->portalsOn = (std::tolower(static_cast<unsigned char>(text[0])) == 'o' &&
                       std::tolower(static_cast<unsigned char>(text[1])) == 'n' && text[2] == '\0');
    text[0] = '\0';
    main.Text("overlap_rooms", text);
    defs->overlapRooms = FirstLower(text) == 'y';

    int32_t rooms = 0;
    main.Number("numrooms", &rooms);
    ErrorLogWrite("Loading %d Rooms\n", rooms);
    rooms = std::clamp(rooms, 0, kMaxRoomDefs);
    for (int r = 0; r < rooms; ++r)
        ReadRoom(file, r, defs->rooms[r]);

    int32_t portals = 0;
    main.Number("numportals", &portals);
    ErrorLogWrite("Loading %d Portals\n", portals);
    portals = std::clamp(portals, 0, kMaxPortalDefs);
    for (int p = 0; p < portals; ++p)
        ReadPortal(file, p, defs->portals[p]);
    return 1;
}

}  // namespace present
