// The library the unloadable program needs; it lies only beside the program in the build tree.
int korvaneProbeAnswer()
{
    return 0;
}
