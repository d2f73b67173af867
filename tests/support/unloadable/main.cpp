// A program that starts only where its library lies beside it (the build tree). Copied into a
// tools folder it is refused by the dynamic loader, as a copied tool is whose libraries the
// system lacks.
int korvaneProbeAnswer();

int main()
{
    return korvaneProbeAnswer();
}
