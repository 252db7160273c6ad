#pragma once

namespace TessarinApp {
int exec(int argc, char* argv[]);
}
