// Start-up and shutdown of Pelmar.
int main(int argc, char** argv) { return 0; }
