// spell: the update utility. It brings the installation up to date and starts the game; the
// update itself comes with its own work, so for now it only starts nothing and ends.

int main() {
    return 0;
}
