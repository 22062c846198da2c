/* Every iteration is independent: a vector scaling. */
int N = 32;
double a[32], b[32];

int main(void)
{
  int i;
#pragma resource [2][4]
  for (i = 0; i < N; i++) {
#pragma latency [3][1]
    a[i] = 2 * b[i];
  }
  return 0;
}
