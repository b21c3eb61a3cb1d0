// main.dat and user.dat: the installation's settings and a first user's.

#include <string>

#include "tools/install/install_step.h"
#include "tools/writers/font_writer.h"

namespace {

const char kMainDat[] =
    "; Quorrin installation settings\n"
    "[main]\n"
    "name=Wanderer\n"
    "team=None\n"
    "assumedname=\n"
    "highlight=0\n"
    "invisible=0\n"
    "\n"
    "[socket]\n"
    "port=1234\n"
    "stream_port=1234\n"
    "address=127.0.0.1\n"
    "protocol=single\n"
    "\n"
    "[drivers]\n"
    "sound=miles\n"
    "\n"
    "[screens]\n"
    "; the start-up pictures, their strips and sounds\n"
    "company=company.pcx\n"
    "companyanimation=companyanim.pcx\n"
    "companysound=0\n"
    "company2=company2.pcx\n"
    "company2sound=0\n"
    "company3=company3.pcx\n"
    "company3sound=0\n"
    "logo=logo.pcx\n"
    "logoanimation=logoanim.pcx\n"
    "logosound=0\n"
    "; each screen's background\n"
    "menu=wyzards2.pcx\n"
    "gamebackfile=gameback.pcx\n"
    "chatbackfile=chatback.pcx\n"
    "kbdcfgbackfile=kbdcfgback.pcx\n"
    "summarybackfile=summaryback.pcx\n"
    "charmanbackfile=charback.pcx\n"
    "chaosbackfile=chaosback.pcx\n"
    "orderbackfile=orderback.pcx\n"
    "balancebackfile=balanceback.pcx\n"
    "\n"
    "[viewport]\n"
    "distance=256\n"
    "left=4\n"
    "right=404\n"
    "top=10\n"
    "bottom=300\n"
    "\n"
    "[help]\n"
    "helpfile=help.hlp\n"
    "\n"
    "[text]\n"
    "stats_x=528\n"
    "stats_y=7\n"
    "table_x=528\n"
    "table_y=205\n"
    "chat_x=16\n"
    "chat_y=451\n"
    "chat_width=612\n"
    "rxchat_x=16\n"
    "rxchat_y=341\n"
    "rxchat_width=560\n"
    "bars_x=545\n"
    "bars_y=53\n"
    "name_x=495\n"
    "name_y=30\n"
    "map_x=540\n"
    "map_y=200\n"
    "char_image_x=540\n"
    "char_image_y=200\n"
;

const char kUserDat[] =
    "[main]\n"
    "account=\n"
    "password=\n"
    "character=\n"
    "last_slot=0\n"
    "team=None\n"
    "number=0\n"
    "debug=0\n";

bool WriteConfigFiles(const InstallContext& ctx) {
    std::string mainDat = std::string(kMainDat) + SampleFontsSection();
    // Alone the menu plays offline; online the account dialog comes first.
    if (ctx.online)
        mainDat.replace(mainDat.find("protocol=single"), 15, "protocol=datagram");
    return WriteTextFile(ctx.Path("main.dat"), mainDat) && WriteTextFile(ctx.Path("user.dat"), kUserDat);
}

InstallStep g_step("config files", 10, WriteConfigFiles);

}  // namespace
