__attribute__((visibility("default"))) int VelaProbe_Answer(void)
{
    return 42;
}
