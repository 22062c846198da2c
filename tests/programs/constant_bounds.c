/* Constant loop bounds: the counts and dates have no parameter at all. */
double a[10];
int main(void)
{
  int i;
#pragma resource [2][4]
  for (i = 1; i < 4; i++) {
#pragma latency [1][1]
    a[i] = a[i-1];
  }
  return 0;
}
